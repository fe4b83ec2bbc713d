// Shortcut files that another program holds open without sharing them: a
// read passes them over, a save leaves them as they are and goes on.
#include <fcntl.h>
#include <io.h>
#include <share.h>

#include "tests/SaveSupport.h"

namespace {

// Holds the file open, denying others to read or write it, while it lives.
class CLockedFile {
public:
    explicit CLockedFile(const std::string& strPath) {
        _sopen_s(&m_fd, strPath.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYRW, 0);
    }
    ~CLockedFile() {
        if (m_fd >= 0) {
            _close(m_fd);
        }
    }
    bool IsLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

TEST_F(SaveTest, LockedShortcutsArePassedOverAndKept) {
    m_dir.Write("Favorites/Locked.url", Shortcut("http://locked.test/"));
    m_dir.Write("Favorites/Busy.url", Shortcut("http://busy.test/"));
    m_dir.Write("Favorites/Free.url", Shortcut("http://free.test/"));
    m_dir.Write("profile/bookmark.htm",
                kHeader + "<DL><p>\r\n<DT><A HREF=\"http://ns.test/\">Page</A>\r\n</DL><p>\r\n");
    {
        const CLockedFile locked(m_strFav + "\\Locked.url");
        ASSERT_TRUE(locked.IsLocked());
        Import();
    }
    std::vector<std::string> names;
    for (CBookmark* pMark : m_view.Bookmarks()) {
        names.push_back(pMark->m_strName.str());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Busy", "Free", "Page"}));

    // Busy is removed and Free renamed while both are held open elsewhere.
    m_view.Named("Busy")->m_nFlags |= BMF_REMOVED;
    m_view.RenameBookmark(*m_view.Named("Free"), "Renamed");
    const auto before = Snapshot(m_strFav);
    {
        const CLockedFile busy(m_strFav + "\\Busy.url");
        const CLockedFile free(m_strFav + "\\Free.url");
        ASSERT_TRUE(busy.IsLocked() && free.IsLocked());
        m_view.SaveChanges();
    }
    EXPECT_EQ(Snapshot(m_strFav), before);
    EXPECT_EQ(m_view.m_messages, std::vector<std::string>{BackupMessage(kNow)});
    EXPECT_NE(ReadFileBytes(m_strNS).find("http://ns.test/"), std::string::npos);
}

}  // namespace
