#include "gearbox_fixture.h"

#include "common/globals.h"
#include "common/timing.h"
#include "sim_ports.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace vx::test {

GearboxFixture::GearboxFixture(double timingScale) : env(std::make_unique<TestEnvironment>())
{
    timing::setScale(timingScale);
    plugAtPort(gcu, kGearboxPort, *env);
    G.ComPortNumber = kGearboxPort;
}

GearboxFixture::~GearboxFixture()
{
    delete workspace.data();
    env.reset();
}

GearboxControl* GearboxFixture::open()
{
    workspace = new GearboxControl(shell);
    workspace->show();
    return workspace;
}

bool GearboxFixture::waitRunning(int boundMs)
{
    QDeadlineTimer deadline(boundMs);
    while (!deadline.hasExpired()) {
        if (!workspace)
            return false;
        if (status() == QLatin1String("Running") && G.ControllerConnected == 1 &&
            child<QTimer>(QStringLiteral("GearboxReadTimer"))->isActive())
            return true;
        QTest::qWait(5);
    }
    return false;
}

bool GearboxFixture::openAndConnect()
{
    open();
    if (!waitRunning())
        return false;
    sentSettings();
    return true;
}

QString GearboxFixture::status() const
{
    return label(QStringLiteral("Status"))->text();
}

QLineEdit* GearboxFixture::box(const QString& name) const
{
    return child<QLineEdit>(name);
}

QPushButton* GearboxFixture::button(const QString& name) const
{
    return child<QPushButton>(name);
}

QLabel* GearboxFixture::label(const QString& name) const
{
    return child<QLabel>(name);
}

bool isStatusRead(const QByteArray& line)
{
    static const QByteArrayList reads{"rp", "sy", "th", "rh", "bs", "rs", "gn",
                                      "up", "dp", "nb", "bp", "st", "ap", "mm"};
    return reads.contains(line) || line.isEmpty();
}

QByteArrayList GearboxFixture::sentSettings()
{
    QByteArrayList lines;
    const QByteArrayList& all = gcu.receivedLines();
    for (qsizetype i = seen_; i < all.size(); ++i) {
        if (!isStatusRead(all.at(i)))
            lines.append(all.at(i));
    }
    seen_ = all.size();
    return lines;
}

void GearboxFixture::typeAndEnter(QLineEdit* box, const QString& text)
{
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &focusIn);
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

} // namespace vx::test
