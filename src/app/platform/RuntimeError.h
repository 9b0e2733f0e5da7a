#pragma once
// Run-time errors: every failure the program reports carries a number and a description.
// The numbers are the ones the handlers test (53 = file not found); the descriptions are
// plain English and name the cause and, where there is one, the file.

#include <QString>
#include <exception>
#include <functional>
#include <string>

namespace talvane {

enum ErrorNumber : int {
    errOutOfMemory = 7,
    errBadFileName = 52,
    errFileNotFound = 53,
    errDeviceIO = 57,
    errFileAlreadyExists = 58,
    errDiskFull = 61,
    errTooManyFiles = 67,
    errPermissionDenied = 70,
    errPathFileAccess = 75,
    errPathNotFound = 76,
    errInvalidPropertyValue = 380,
    errInvalidPicture = 481,
    errIndexOutOfBounds = 35600,
    errElementNotFound = 35601,
    errKeyNotUnique = 35602,
    errImageListNotInitialized = 35613,
};

class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description);

    int Number() const { return number_; }
    const QString& Description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString description_;
    std::string what_;
};

// The collections' and controls' own errors, each worded in one place.
RuntimeError KeyNotUnique(const std::string& key);
RuntimeError ElementNotFound(const std::string& key);
RuntimeError InvalidPropertyValue();
// A file that holds no picture a loader can read.
RuntimeError InvalidPicture(const std::string& path);

// What a path is, for the wording of "not found" errors.
enum class PathKind { File, Folder };

// The one place where operating-system error codes become run-time errors.
RuntimeError ErrorFromErrno(int err, const std::string& path, PathKind kind = PathKind::File);

// Runs one statement and swallows a run-time error it raises, so that the next statement
// still runs (for handlers that must attempt every step).
void ResumeNext(const std::function<void()>& statement);

}  // namespace talvane
