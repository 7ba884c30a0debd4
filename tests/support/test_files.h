#pragma once
// Files for tests: a private folder removed at the end, and loads from it.

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::test {

class TestFiles {
public:
    TestFiles();
    /// Writes bytes to a file of that name in the folder and returns its path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes);
    std::string Write(const std::string& name, const std::string& text);
    std::string Path(const std::string& name) const;
    static std::vector<std::uint8_t> ReadAll(const std::string& path);

private:
    QTemporaryDir dir_;
};

} // namespace tesmora::test
