#pragma once

#include <memory>
#include <string>

namespace m2::platform {

// The desktop's handling of the user's files.
class Workspace {
  public:
    virtual ~Workspace() = default;
    // Opens the file with the user's default application for its type; answers whether an
    // application was started. Does not wait for it.
    [[nodiscard]] virtual bool openFile(const std::string& path) = 0;
    // Opens a web address in the user's default browser; answers whether one was started.
    // Workspaces that open no web pages answer false.
    virtual bool openURL(const std::string& url) {
        (void)url;
        return false;
    }
};

// Opens files through GIO: the default handler of the file's content type, as the desktop's
// file manager would.
class GioWorkspace final : public Workspace {
  public:
    [[nodiscard]] bool openFile(const std::string& path) override;
    bool openURL(const std::string& url) override;
};

// The workspace in use: a GioWorkspace unless another was installed (tests record calls).
[[nodiscard]] Workspace& workspace();
// Answers the previous workspace; nullptr goes back to GIO.
std::shared_ptr<Workspace> setWorkspace(std::shared_ptr<Workspace> replacement);

// "file://" URL text of an absolute path, with percent escapes; bytes that are not UTF-8
// are escaped too, so every file name has one.
[[nodiscard]] std::string fileUrlText(const std::string& absolutePath);

}  // namespace m2::platform
