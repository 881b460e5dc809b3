#pragma once
// What the fault suites of the Linux and the Windows builds share: a fixture that searches through the
// real ScanFile and the system's file service (every other service doubled) and checks after every test
// that no file was left open and that a plain search still works; and a file service that meddles with
// a file between two reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "main_window/frm_scan.h"
#include "tests/fakes/fakes.h"

namespace quorvin::faults {

inline constexpr char16_t kFound[] = u"Chaîne de caractère trouvée !";
inline constexpr char16_t kNotFound[] = u"Chaîne non trouvée";
inline constexpr char16_t kError[] = u"Lecture du fichier impossible";
inline constexpr char16_t kGone[] = u"Le fichier n'existe plus ou a été déplacé.";
inline constexpr char16_t kDenied[] = u"L'accès au fichier est refusé";
inline constexpr char16_t kNotRegular[] = u"Ce n'est pas un fichier ordinaire";
inline constexpr char16_t kCannotOpen[] = u"Le fichier ne peut pas être ouvert.";
inline constexpr char16_t kLinkLoop[] = u"Le chemin passe par un lien symbolique qui boucle sur lui-même.";
inline constexpr char16_t kReadFailed[] = u"Une erreur de lecture est survenue pendant la recherche.";

bool contains(const std::u16string& text, std::u16string_view part);

// The system's file service, with something done to the file just before one of its reads.
class MeddledFiles final : public platform::BinaryFileService {
public:
    explicit MeddledFiles(platform::BinaryFileService& system) : system_(system) {}
    std::unique_ptr<platform::BinaryFile> openRead(std::u16string_view path) override;

    int meddleBeforeRead = -1;  // counted from 0 in each opened file
    std::function<void()> meddle;
    std::int64_t bytesRead = 0;

private:
    class File;
    platform::BinaryFileService& system_;
};

class FaultSuite : public ::testing::Test {
protected:
    // A folder of its own for each test, removed after it.
    FaultSuite();
    ~FaultSuite() override;
    void SetUp() override;
    void TearDown() override;

    // Files and handles as the system counts them.
    virtual platform::BinaryFileService& systemFiles() = 0;
    virtual int openHandles() const = 0;
    virtual std::u16string textOf(const std::filesystem::path& path) const = 0;

    // Writes `bytes` to `name` in the test's folder; returns its path as the program holds it.
    std::u16string write(const std::filesystem::path& name, const std::string& bytes);
    std::u16string path(const std::filesystem::path& name) const { return textOf(dir / name); }

    // Runs one search and returns its one message, checking that it was owned by the main window, that
    // the file was closed before it showed, and that Text4 names the file.
    testing::MessageRecord scan(const std::u16string& file, const std::u16string& text);

    // Takes the count of open handles that the end of the test must find again from now on, after the
    // test itself made the system open handles of its own for good.
    void countHandlesFromHere() { handlesAtStart_ = openHandles(); }

    // A file error names the file and the cause.
    void expectError(const testing::MessageRecord& shown, const std::u16string& file, std::u16string_view cause);

    testing::FakePlatform fake;
    FrmScan form;
    std::filesystem::path dir;
    std::function<void()> whileTold;  // what the user does while the message is up

private:
    int handlesAtStart_ = 0;
    int handlesWhileTold_ = -1;
};

}  // namespace quorvin::faults
