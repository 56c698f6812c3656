#pragma once
// A fresh directory under $TMPDIR (or /tmp), removed with its contents when destroyed.
#include <string>

namespace qvtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path of a file inside the directory.
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // Whole-file helpers; ReadFile gives "" for a missing file.
    std::string ReadFile(const std::string& name) const;
    void WriteFile(const std::string& name, const std::string& contents) const;

private:
    std::string path_;
};

}  // namespace qvtest
