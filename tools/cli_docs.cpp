// Fills the manual page and the bash completion of pagewise-cli from its option table, at
// build time: `pagewise-cli-docs man|completion TEMPLATE OUTPUT` replaces @OPTIONS@ (and, for
// the completion, @VALUE_OPTIONS@) in TEMPLATE.
#include "cli/OptionTable.h"

#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// roff takes a backslash and a minus as escapes, and a leading dot or quote as a request.
QString roffText(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

QString manOptions()
{
    QStringList lines;
    for (const QCommandLineOption& option : pw::cli::optionTable()) {
        QStringList names;
        for (const QString& name : option.names())
            names << roffText(dashed(name));
        lines << QStringLiteral(".TP");
        if (!option.valueName().isEmpty())
            lines
                << QStringLiteral(".BI %1 \" %2\"").arg(names.join(QStringLiteral(", ")), roffText(option.valueName()));
        else if (names.size() > 1)
            lines << QStringLiteral(".BR %1").arg(names.join(QStringLiteral(" \", \" ")));
        else
            lines << QStringLiteral(".B %1").arg(names.front());
        lines << roffText(option.description());
    }
    return lines.join(QLatin1Char('\n'));
}

QString completionWords(bool valuesOnly, const QString& separator)
{
    QStringList words;
    for (const QCommandLineOption& option : pw::cli::optionTable())
        if (!valuesOnly || !option.valueName().isEmpty())
            for (const QString& name : option.names())
                words << dashed(name);
    return words.join(separator);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: pagewise-cli-docs man|completion TEMPLATE OUTPUT\n");
        return 2;
    }
    const QString kind = QString::fromLocal8Bit(argv[1]);
    QFile in(QString::fromLocal8Bit(argv[2]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "pagewise-cli-docs: cannot read %s\n", argv[2]);
        return 1;
    }
    QString text = QString::fromUtf8(in.readAll());
    if (kind == QStringLiteral("man")) {
        text.replace(QStringLiteral("@OPTIONS@"), manOptions());
    } else {
        text.replace(QStringLiteral("@VALUE_OPTIONS@"), completionWords(true, QStringLiteral(" | ")));
        text.replace(QStringLiteral("@OPTIONS@"), completionWords(false, QStringLiteral(" ")));
    }
    QFile out(QString::fromLocal8Bit(argv[3]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text.toUtf8()) < 0) {
        std::fprintf(stderr, "pagewise-cli-docs: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
