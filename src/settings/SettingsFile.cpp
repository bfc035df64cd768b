#include "settings/SettingsFile.h"

#include "base/NumberText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace pw::settings_file {

namespace {

// QSettings keeps backslashes of a group name escaped on disk:
// [Software%5CCorvane%5CPagewise%5CHZ41C120]. A section typed by hand as
// [Software\Corvane\Pagewise\HZ41C120] reads back as nested groups, the second name here.
const QString kGroup = QStringLiteral("Software\\Corvane\\Pagewise\\HZ41C120");
const QString kHandGroup = QStringLiteral("Software/Corvane/Pagewise/HZ41C120");
const QString kPorts = QStringLiteral("Ports");

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// QSettings parses each file once per process and tolerates much, and it rewrites what it
// tolerated in its own way; so the shape of the file is checked here on every use. Each line
// must be blank, a comment, a named [section] or a key=value pair, in UTF-8; a byte order mark
// may stand before the first line. Empty when the file is fine, else what is wrong with it.
std::string shapeProblem(const QByteArray& content)
{
    QByteArray text = content;
    if (text.startsWith(kByteOrderMark))
        text.remove(0, 3);
    if (QString::fromUtf8(text).toUtf8() != text)
        return "it is not UTF-8 text";
    int number = 0;
    for (const QByteArray& raw : text.split('\n')) {
        ++number;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        const bool section = line.startsWith('[') && line.endsWith(']') && line.size() > 2;
        const bool pair = !line.startsWith('[') && line.indexOf('=') > 0;
        if (!section && !pair)
            return "line " + std::to_string(number) +
                   " is neither a [section] nor a key=value pair: " + line.left(80).toStdString();
    }
    return {};
}

bool wellFormed(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && shapeProblem(file.readAll()).empty();
}

std::unique_ptr<QSettings> openReadable(const std::string& file)
{
    const QString path = QString::fromStdString(file);
    if (!QFileInfo(path).isFile() || !wellFormed(path))
        return nullptr;
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (settings->status() != QSettings::NoError)
        return nullptr;
    return settings;
}

// QSettings reads past a byte order mark but reports a format error when it saves over one;
// the mark carries nothing, so it is taken off before the file is written.
bool dropByteOrderMark(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content = file.readAll();
    file.close();
    if (!content.startsWith(kByteOrderMark))
        return true;
    content.remove(0, 3);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// The user file for writing: a missing one is created, a bad one is left alone.
std::unique_ptr<QSettings> openWritable(const std::string& file)
{
    const QString path = QString::fromStdString(file);
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || !wellFormed(path) || !dropByteOrderMark(path)))
        return nullptr;
    if (!QDir().mkpath(info.absolutePath()))
        return nullptr;
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (settings->status() != QSettings::NoError)
        return nullptr;
    return settings;
}

bool finish(QSettings& settings)
{
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

std::string unusableReason(const std::string& file)
{
    const QString path = QString::fromStdString(file);
    if (!QFileInfo::exists(path))
        return {};
    QFile in(path);
    if (!QFileInfo(path).isFile() || !in.open(QIODevice::ReadOnly))
        return "it cannot be read";
    return shapeProblem(in.readAll());
}

std::optional<std::uint32_t> readNumber(const std::string& file, const std::string& name)
{
    const auto settings = openReadable(file);
    if (!settings)
        return std::nullopt;
    const QString key = QString::fromStdString(name);
    for (const QString& group : {kGroup, kHandGroup}) {
        const QVariant value = settings->value(group + QLatin1Char('/') + key);
        if (value.isValid())
            return parseNumber(value.toString().trimmed().toStdString());
    }
    return std::nullopt;
}

bool writeNumber(const std::string& file, const std::string& name, std::uint32_t value)
{
    const auto settings = openWritable(file);
    if (!settings)
        return false;
    const QString key = QString::fromStdString(name);
    settings->setValue(kGroup + QLatin1Char('/') + key, value);
    // One place for each value, so a later hand edit is not shadowed by an old copy.
    settings->remove(kHandGroup + QLatin1Char('/') + key);
    return finish(*settings);
}

std::map<std::uint32_t, std::string> readPorts(const std::string& file)
{
    std::map<std::uint32_t, std::string> entries;
    const auto settings = openReadable(file);
    if (!settings)
        return entries;
    settings->beginGroup(kPorts);
    for (const QString& key : settings->childKeys()) {
        const auto number = comPortNumber(key.toStdString());
        const std::string device = settings->value(key).toString().trimmed().toStdString();
        if (number && !device.empty())
            entries[*number] = device;
    }
    return entries;
}

bool writePorts(const std::string& file, const std::map<std::uint32_t, std::string>& entries)
{
    const auto settings = openWritable(file);
    if (!settings)
        return false;
    settings->remove(kPorts);
    settings->beginGroup(kPorts);
    for (const auto& [number, device] : entries) {
        if (number >= 1 && number <= kLastComPort && !device.empty())
            settings->setValue(QStringLiteral("COM%1").arg(number), QString::fromStdString(device));
    }
    settings->endGroup();
    return finish(*settings);
}

} // namespace pw::settings_file
