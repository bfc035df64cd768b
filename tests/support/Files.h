#pragma once
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace pw::test {

// A fresh folder, removed again with its contents.
struct TempDir : QTemporaryDir {
    TempDir() = default;
    // Named after `templatePath`, whose XXXXXX becomes unique.
    explicit TempDir(const std::string& templatePath) : QTemporaryDir(QString::fromStdString(templatePath)) {}
    std::string file(const std::string& name) const { return filePath(QString::fromStdString(name)).toStdString(); }
};

// Writes `content` as it stands, making the folders on the way; returns the path.
inline std::string writeFile(const std::string& path, const std::string& content)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
}

// Points `link` at `target` in one step, as a device link does when its adapter comes back: the
// path never names nothing or something else on the way.
inline void pointLink(const std::string& link, const std::string& target)
{
    const std::string fresh = link + ".new";
    std::filesystem::remove(fresh);
    std::filesystem::create_symlink(target, fresh);
    std::filesystem::rename(fresh, link);
}

// The whole file as bytes ("" when it cannot be read).
inline std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace pw::test
