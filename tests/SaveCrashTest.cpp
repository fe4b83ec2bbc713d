// tavrel-cli killed at any moment of a save: the Netscape file is never cut,
// mixed or missing, and the new file never stands without a backup of the old.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/SaveSupport.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 40;
// Matches the URLs of t9999 and t99990 to t99999: eleven bookmarks.
constexpr const char* kPattern = "t9999";

// 100,000 bookmarks, a hundred in each of 20 folders in each of 50 folders.
std::string LargeNetscapeFile() {
    std::string s = kHeader + "<DL><p>\r\n";
    int nMark = 0;
    for (int nOuter = 0; nOuter < 50; ++nOuter) {
        s += "<DT><H3 ADD_DATE=\"900000000\">Folder ";
        s += std::to_string(nOuter);
        s += "</H3>\r\n<DL><p>\r\n";
        for (int nInner = 0; nInner < 20; ++nInner) {
            s += "<DT><H3 ADD_DATE=\"900000000\">Sub ";
            s += std::to_string(nInner);
            s += "</H3>\r\n<DL><p>\r\n";
            for (int i = 0; i < 100; ++i, ++nMark) {
                const std::string strNum = std::to_string(nMark);
                s += "<DT><A HREF=\"http://t" + strNum + ".example/\" ADD_DATE=\"";
                s += std::to_string(900'000'000 + nMark);
                s += "\">Bookmark " + strNum + "</A>\r\n";
            }
            s += "</DL><p>\r\n";
        }
        s += "</DL><p>\r\n";
    }
    return s + "</DL><p>\r\n";
}

void WriteBytes(const fs::path& path, const std::string& strBytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
}

bool AllDigits(const std::string& str) {
    return !str.empty() && str.find_first_not_of("0123456789") == std::string::npos;
}

bool IsTemporaryName(const std::string& strName) {
    const std::string strPrefix = ".bookmark.htm.tavrel-";
    return strName.size() == strPrefix.size() + 8 && strName.starts_with(strPrefix) &&
           strName.find_first_not_of("0123456789abcdef", strPrefix.size()) == std::string::npos;
}

// A remove through tavrel-cli on a file of 100,000 bookmarks, run to the end
// to learn the new file and how long a run takes, then killed at moments
// spread evenly from its start to a fifth past its end. Each time the file
// holds the old bytes or the new ones, a backup beside the new file holds
// the old bytes, and nothing but a backup and the hidden temporary file of
// the new one is left beside it.
TEST(SaveCrash, KilledAnywhereTheFileIsOldOrNew) {
    const CTempDir dir;
    const std::string strOld = LargeNetscapeFile();

    // Two runs to the end: both write the same new file, which holds all but
    // the removed bookmarks, and keep the old one as the backup they name.
    std::string strNew;
    Clock::duration duration{};
    for (const std::string strRef : {"reference1", "reference2"}) {
        SCOPED_TRACE(strRef);
        const std::string strRefFile = dir / (strRef + "/bookmark.htm");
        WriteBytes(strRefFile, strOld);
        const auto tStart = Clock::now();
        const CRun run = RunCli(dir, {"remove", "--netscape", strRefFile, kPattern});
        duration = std::max(duration, Clock::now() - tStart);
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        const std::string strWritten = ReadFileBytes(strRefFile);
        ASSERT_TRUE(strNew.empty() || strWritten == strNew);
        strNew = strWritten;
        ASSERT_EQ(strNew.find("t9999"), std::string::npos);
        const CRun reread = RunCli(dir, {"list", "--netscape", strRefFile, "no such bookmark"});
        ASSERT_EQ(reread.LastErrLine(), "0 shown, 99989 total");
        const std::string strLine = run.LastErrLine();
        const std::string strPrefix = "Backup copy of your Netscape bookmark file was created: \"";
        ASSERT_TRUE(strLine.starts_with(strPrefix) && strLine.ends_with("\"")) << run.strErr;
        const std::string strBackup =
            strLine.substr(strPrefix.size(), strLine.size() - strPrefix.size() - 1);
        const std::string strStem = (fs::canonical(dir / strRef) / "bookmark.htm.").string();
        ASSERT_TRUE(strBackup.starts_with(strStem)) << strBackup;
        EXPECT_TRUE(AllDigits(strBackup.substr(strStem.size()))) << strBackup;
        EXPECT_TRUE(ReadFileBytes(strBackup) == strOld);
    }

    int nOld = 0, nNew = 0;
    for (int nKill = 0; nKill < kKills; ++nKill) {
        SCOPED_TRACE("kill " + std::to_string(nKill));
        const std::string strRunDir = dir / ("kill" + std::to_string(nKill));
        const fs::path store = fs::path(strRunDir) / "store";
        const std::string strFile = (store / "bookmark.htm").string();
        WriteBytes(strFile, strOld);
        const auto moment = duration * 6 * nKill / (5 * (kKills - 1));
        const pid_t pid = StartCli(strRunDir, {"remove", "--netscape", strFile, kPattern},
                                   "/dev/null", "/dev/null");
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_until(Clock::now() + moment);
        kill(pid, SIGKILL);
        int nWait = 0;
        ASSERT_EQ(waitpid(pid, &nWait, 0), pid);
        // A run that ended before the kill must have done all of its work.
        const bool bFinished = WIFEXITED(nWait);
        if (bFinished) {
            EXPECT_EQ(WEXITSTATUS(nWait), 0);
        }

        ASSERT_TRUE(fs::exists(strFile));
        const std::string strNow = ReadFileBytes(strFile);
        const bool bNew = strNow == strNew;
        EXPECT_TRUE(bNew || strNow == strOld) << "the file holds " << strNow.size() << " bytes";
        EXPECT_TRUE(bNew || !bFinished);
        int nBackups = 0;
        for (const auto& entry : fs::directory_iterator(store)) {
            const std::string strName = entry.path().filename().string();
            if (strName == "bookmark.htm") {
                continue;
            }
            const std::string strBytes = ReadFileBytes(entry.path().string());
            if (strName.starts_with("bookmark.htm.") && AllDigits(strName.substr(13))) {
                ++nBackups;
                EXPECT_TRUE(strBytes == strOld) << strName;
            } else if (IsTemporaryName(strName)) {
                EXPECT_TRUE(strNew.starts_with(strBytes)) << strName;
            } else {
                ADD_FAILURE() << "left behind: " << strName;
            }
        }
        EXPECT_LE(nBackups, 1);
        if (bNew) {
            EXPECT_EQ(nBackups, 1);
        }
        (bNew ? nNew : nOld) += 1;
        fs::remove_all(strRunDir);
    }
    // Moments on both sides of the replacement were caught: the first kill
    // comes before the program has read anything, and the new file takes the
    // name at about four fifths of a run, so that about a third of the kills
    // come after it. A run would have to be half as slow again as the slower
    // reference run for all of those to find the old file.
    EXPECT_GT(nOld, 0);
    EXPECT_GT(nNew, 0);
}

}  // namespace
