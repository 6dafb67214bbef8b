#include "common/Dialogs.h"

#include <cstdio>

namespace velor {

QString consolePrefix(Icon icon)
{
    switch (icon) {
    case Icon::Error: return QStringLiteral("error: ");
    case Icon::Warning: return QStringLiteral("warning: ");
    default: return QStringLiteral("info: ");
    }
}

Answer ConsoleDialogs::message(const QString &text, Icon icon, const QString &, Buttons buttons)
{
    if (icon == Icon::Error) ++m_errors;
    if (icon == Icon::Warning) ++m_warnings;
    QString line = consolePrefix(icon) + QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::OkCancel: return m_yes ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo: return m_yes ? Answer::Yes : Answer::No;
    case Buttons::YesNoCancel: return m_yes ? Answer::Yes : Answer::No;
    }
    return Answer::Ok;
}

Answer ConsoleDialogs::report(const QString &text, Icon, bool failed)
{
    return message(text, failed ? Icon::Error : Icon::Warning);
}

} // namespace velor
