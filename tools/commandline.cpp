#include "commandline.h"

#include "output.h"

#include <QCommandLineParser>

namespace {

const QString HelpOption = QStringLiteral("help");

// A lone "-" is left to be a file name; anything else starting with '-' is an option.
bool looksLikeOption(const QString &arg)
{
    return arg.size() > 1 && arg.startsWith(QLatin1Char('-'));
}

// The name QCommandLineParser reads from an option as typed, with one or two dashes.
QString optionName(const QString &arg)
{
    return arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
}

// A paragraph in lines that fit a terminal, broken between words.
QStringList wrapped(const QString &text)
{
    constexpr qsizetype width = 79;
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

} // namespace

CommandLine::CommandLine(const QString &command, const QStringList &synopses, const QStringList &arguments)
    : m_command(command), m_synopses(synopses), m_arguments(arguments)
{
}

void CommandLine::addArgument(const QString &name, const QString &description)
{
    m_declaredArguments.push_back({name, description});
}

void CommandLine::addValueOption(const QString &name, const QString &valueName, const QString &description,
                                 const QString &missing)
{
    m_options.push_back({QCommandLineOption(name, description, valueName), missing});
    m_hasValueOptions = true;
}

void CommandLine::addFlag(const QString &name, const QString &description)
{
    m_options.push_back({QCommandLineOption(name, description), {}});
}

// Every command has it, and its help lists it last.
const CommandLine::Option &CommandLine::helpOption()
{
    static const Option help{QCommandLineOption({QStringLiteral("h"), HelpOption}, QStringLiteral("zeigt diese Hilfe")), {}};
    return help;
}

const CommandLine::Option *CommandLine::optionNamed(const QString &name) const
{
    for (const Option &o : m_options) {
        if (o.option.names().contains(name))
            return &o;
    }
    return helpOption().option.names().contains(name) ? &helpOption() : nullptr;
}

UsageError CommandLine::unknownOption(const QString &name) const
{
    for (const QString &arg : m_arguments) {
        if (looksLikeOption(arg) && optionName(arg) == name)
            return unknownTypedOption(arg);
    }
    return unknownTypedOption(QStringLiteral("--") + name);
}

// A command with value options of its own names the unknown one alone; one
// without names itself, as the option may belong to another command.
UsageError CommandLine::unknownTypedOption(const QString &typed) const
{
    if (m_hasValueOptions)
        return {QStringLiteral("Unbekannte Option '%1'").arg(shown(typed.section(QLatin1Char('='), 0, 0)))};
    return {QStringLiteral("Unbekannte Option '%1' für %2").arg(shown(typed), m_command)};
}

UsageError CommandLine::surplusArgument(const QString &argument)
{
    return {QStringLiteral("Überzähliges Argument '%1'").arg(shown(argument))};
}

bool CommandLine::parse()
{
    // QCommandLineParser takes "--" for the end of the options; here it
    // never was, and it is refused like any option the command lacks.
    if (m_arguments.contains(QStringLiteral("--")))
        throw unknownTypedOption(QStringLiteral("--"));

    // QCommandLineParser also takes "-name" for "--name"; only "-h" is meant
    // to have one dash. A value may start with a dash, so those are skipped.
    for (qsizetype i = 0; i < m_arguments.size(); ++i) {
        const QString &arg = m_arguments.at(i);
        if (!looksLikeOption(arg))
            continue;
        const QString name = optionName(arg);
        if (!arg.startsWith(QLatin1String("--")) && name.size() > 1)
            throw unknownTypedOption(arg);
        const Option *o = optionNamed(name);
        if (o && !o->missing.isEmpty() && !arg.contains(QLatin1Char('=')))
            ++i;
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Option &o : m_options)
        parser.addOption(o.option);
    parser.addOption(helpOption().option);
    // The first entry stands for the program and is skipped.
    const bool parsed = parser.parse(QStringList{m_command} + m_arguments);
    if (!parser.unknownOptionNames().isEmpty())
        throw unknownOption(parser.unknownOptionNames().constFirst());
    if (!parsed) {
        // Else it fails on a value given to a flag, or on a value missing
        // at the end, which is the only place one can be missing.
        for (const QString &arg : m_arguments) {
            const Option *o = looksLikeOption(arg) && arg.contains(QLatin1Char('=')) ? optionNamed(optionName(arg)) : nullptr;
            if (o && o->missing.isEmpty())
                throw unknownTypedOption(arg);
        }
        const QStringList found = parser.optionNames();
        const Option *o = found.isEmpty() ? nullptr : optionNamed(found.constLast());
        throw UsageError{QStringLiteral("Bei %1 fehlt %2").arg(shown(m_arguments.constLast()), o ? o->missing : QString())};
    }
    if (parser.isSet(HelpOption)) {
        printLine(stdout, helpText());
        return false;
    }

    QStringList seen;
    for (const QString &name : parser.optionNames()) {
        const QString first = optionNamed(name)->option.names().constFirst();
        if (seen.contains(first))
            throw UsageError{QStringLiteral("Die Option --%1 ist doppelt angegeben").arg(first)};
        seen << first;
        m_values.insert(first, parser.value(first));
    }
    m_positional = parser.positionalArguments();
    if (m_positional.size() > qsizetype(m_declaredArguments.size()))
        throw surplusArgument(m_positional.at(qsizetype(m_declaredArguments.size())));
    return true;
}

std::optional<QString> CommandLine::value(const QString &option) const
{
    const auto it = m_values.constFind(option);
    return it == m_values.constEnd() ? std::nullopt : std::optional<QString>(*it);
}

bool CommandLine::isSet(const QString &option) const
{
    return m_values.contains(option);
}

std::optional<QString> CommandLine::argument(int index) const
{
    return index < m_positional.size() ? std::optional<QString>(m_positional.at(index)) : std::nullopt;
}

QString CommandLine::file() const
{
    const std::optional<QString> file = argument(0);
    if (!file)
        throw UsageError{QStringLiteral("Beim Befehl %1 fehlt die Datei").arg(m_command)};
    if (file->isEmpty())
        throw UsageError{QStringLiteral("Der Dateiname ist leer")};
    return *file;
}

QString CommandLine::target() const
{
    const std::optional<QString> target = argument(1);
    if (!target)
        throw UsageError{QStringLiteral("Beim Befehl %1 fehlt die Zieldatei").arg(m_command)};
    if (target->isEmpty())
        throw UsageError{QStringLiteral("Der Name der Zieldatei ist leer")};
    return *target;
}

// Laid out like the help of other command line programs, in German.
QString CommandLine::helpText() const
{
    QStringList lines;
    for (qsizetype i = 0; i < m_synopses.size(); ++i) {
        lines << (i == 0 ? QStringLiteral("Aufruf: ") : QStringLiteral("        ")) + QStringLiteral("rechnung-db ")
                     + m_command + QLatin1Char(' ') + m_synopses.at(i);
    }
    lines << QString() << wrapped(m_description);

    QList<std::pair<QString, QString>> arguments, options;
    for (const Argument &a : m_declaredArguments)
        arguments.append({a.name, a.description});
    std::vector<const Option *> shownOptions;
    for (const Option &o : m_options)
        shownOptions.push_back(&o);
    shownOptions.push_back(&helpOption());
    for (const Option *o : shownOptions) {
        QStringList names;
        for (const QString &name : o->option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (!o->option.valueName().isEmpty())
            left += QLatin1Char(' ') + o->option.valueName();
        options.append({left, o->option.description()});
    }
    qsizetype width = 0;
    for (const auto &entry : arguments + options)
        width = qMax(width, entry.first.size());
    const auto section = [&](const QString &title, const QList<std::pair<QString, QString>> &entries) {
        if (entries.isEmpty())
            return;
        lines << QString() << title;
        for (const auto &[left, description] : entries)
            lines << QStringLiteral("  ") + left.leftJustified(width + 2) + description;
    };
    section(QStringLiteral("Argumente:"), arguments);
    section(QStringLiteral("Optionen:"), options);
    return lines.join(QLatin1Char('\n'));
}
