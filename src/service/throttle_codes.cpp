#include "service/throttle_codes.h"

namespace vx::throttle {

const CodedChoices& potLawChoices()
{
    static const CodedChoices choices{{{QStringLiteral("Linear"), QStringLiteral("01")},
                                       {QStringLiteral("Logarithmic"), QStringLiteral("00")}}};
    return choices;
}

const CodedChoices& senseChoices()
{
    static const CodedChoices choices{{{QStringLiteral("Normal"), QStringLiteral("00")},
                                       {QStringLiteral("Inverted"), QStringLiteral("01")}}};
    return choices;
}

QStringList textsOf(const CodedChoices& choices)
{
    QStringList texts;
    for (const CodedChoice& choice : choices)
        texts << choice.text;
    return texts;
}

std::optional<QString> textForCode(const CodedChoices& choices, const QString& code)
{
    for (const CodedChoice& choice : choices) {
        if (choice.code == code)
            return choice.text;
    }
    return std::nullopt;
}

std::optional<QString> codeForText(const CodedChoices& choices, const QString& text)
{
    for (const CodedChoice& choice : choices) {
        if (choice.text == text)
            return choice.code;
    }
    return std::nullopt;
}

} // namespace vx::throttle
