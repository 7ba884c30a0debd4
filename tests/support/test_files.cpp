#include "support/test_files.h"

#include <QTest>
#include <fstream>
#include <iterator>

namespace tesmora::test {

TestFiles::TestFiles() {
    QVERIFY2(dir_.isValid(), "no temporary folder");
}

std::string TestFiles::Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
}

std::string TestFiles::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) qFatal("cannot write %s", path.c_str());
    return path;
}

std::string TestFiles::Write(const std::string& name, const std::string& text) {
    return Write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> TestFiles::ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace tesmora::test
