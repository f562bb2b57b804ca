// A scratch folder under the TEMP path for one test: created before it, emptied of what the
// test made and removed after it, success or not. Its name holds a blank, as "Program Files".
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32.h"

inline bool WriteWholeFile(const std::string& path, const std::string& contents) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, contents.data(), (DWORD)contents.size(), &written, nullptr);
  CloseHandle(file);
  return ok && written == contents.size();
}

// The file's contents; "<missing>" when it cannot be opened.
inline std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string contents;
  char chunk[512];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) contents.append(chunk, read);
  CloseHandle(file);
  return contents;
}

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof temp);
    folder_ = std::string(temp) + "quillmap contract";
    if (!CreateDirectoryA(folder_.c_str(), nullptr)) {
      ASSERT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError()) << folder_;
    }
  }

  void TearDown() override {
    for (auto path = made_.rbegin(); path != made_.rend(); ++path) {
      SetFileAttributesA(path->c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileA(path->c_str())) RemoveDirectoryA(path->c_str());
    }
    EXPECT_TRUE(RemoveDirectoryA(folder_.c_str()))
        << "scratch folder left behind, error " << GetLastError();
  }

  const std::string& Folder() const { return folder_; }

  // The path of `name` in the scratch folder; it is removed after the test.
  std::string Path(const std::string& name) {
    std::string path = folder_ + "\\" + name;
    made_.push_back(path);
    return path;
  }

  std::string MakeFile(const std::string& name, const std::string& contents,
                       DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    std::string path = Path(name);
    EXPECT_TRUE(WriteWholeFile(path, contents)) << path;
    if (attributes != FILE_ATTRIBUTE_NORMAL) {
      EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
    }
    return path;
  }

  std::string MakeFolder(const std::string& name) {
    std::string path = Path(name);
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path << ", error " << GetLastError();
    return path;
  }

 private:
  std::string folder_;
  std::vector<std::string> made_;
};
