// Writes the sample firmware file that the tests and the demo load: made up program bytes, not
// any real controller's program.
#include "sim/firmware_maker.h"

#include <QFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sample-firmware FILE.hex\n");
        return 2;
    }
    QFile file(QFile::decodeName(argv[1]));
    const QByteArray text = vx::sim::sampleFirmware().hexText;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        std::fprintf(stderr, "make-sample-firmware: %s\n", qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
