#pragma once

#include <QCommandLineOption>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct UsageError;

// The arguments of one command of rechnung-db, read by QCommandLineParser.
// Every mistake becomes a UsageError with the tool's German message, and
// "--help" shows a German help: none of Qt's English texts reach the user.
class CommandLine
{
public:
    // `synopses`: the ways to call the command, each after "rechnung-db COMMAND";
    // `arguments`: what followed the command's name.
    CommandLine(const QString &command, const QStringList &synopses, const QStringList &arguments);

    // What the command does, shown by its help.
    void setDescription(const QString &text) { m_description = text; }
    // An argument that is no option; they are taken in the order declared.
    void addArgument(const QString &name, const QString &description);
    // `missing` says what a message misses when the value is not there ("die Anzahl").
    void addValueOption(const QString &name, const QString &valueName, const QString &description,
                        const QString &missing);
    void addFlag(const QString &name, const QString &description);

    // Returns false when the help was asked for; it has been printed then.
    // Throws UsageError.
    bool parse();

    std::optional<QString> value(const QString &option) const;
    bool isSet(const QString &option) const;
    std::optional<QString> argument(int index) const;
    // The first argument, which every command has: the file it works on.
    QString file() const;
    // The second argument of backup and import-access: the file to make.
    QString target() const;

    static UsageError surplusArgument(const QString &argument);

private:
    struct Option
    {
        QCommandLineOption option;
        QString missing; // empty for a flag
    };
    struct Argument
    {
        QString name;
        QString description;
    };

    static const Option &helpOption();
    UsageError unknownOption(const QString &name) const;
    UsageError unknownTypedOption(const QString &typed) const;
    const Option *optionNamed(const QString &name) const;
    QString helpText() const;

    QString m_command;
    QStringList m_synopses;
    QStringList m_arguments;
    QString m_description;
    std::vector<Argument> m_declaredArguments;
    std::vector<Option> m_options;
    bool m_hasValueOptions = false;
    QStringList m_positional;
    QHash<QString, QString> m_values; // by the option's first name; "" for a flag
};
