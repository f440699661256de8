#include "support/XmlLint.h"

#include "support/CommandOutput.h"
#include "support/TestFiles.h"

namespace m2::test {

bool xmllintAcceptsFile(const std::filesystem::path& file) {
    int status = -1;
    (void)m2test::commandOutput("xmllint --noout '" + file.string() + "' 2>/dev/null", &status);
    return status == 0;
}

bool xmllintAccepts(const std::string& bytes) {
    TempDir dir;
    const auto file = dir / "document.xml";
    writeFile(file, bytes);
    return xmllintAcceptsFile(file);
}

}  // namespace m2::test
