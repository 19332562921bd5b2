// The single-instance guard among users: the instances under test run as
// nobody, each in a process of its own, and root, the test itself, is the other
// user who owns a runtime folder or plants things where nobody's lock would go.
// Switching users needs root; elsewhere the tests are skipped.
#include "SingleInstance.h"
#include "Support/SingleInstance/HandOverClient.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
constexpr uid_t nobody = 65534;
constexpr const char* applicationName = "KVXSingleInstanceTest";

// A bound that only keeps a broken test from hanging; nothing is timed.
constexpr int reportBoundMs = 60000;

bool becomeNobody()
{
    return setgroups (0, nullptr) == 0 && setresgid (nobody, nobody, nobody) == 0
        && setresuid (nobody, nobody, nobody) == 0;
}

// What a SingleInstance made in this process found.
std::string describeStanding (const SingleInstance& instance)
{
    if (! instance.getProblem().empty())
        return instance.getProblem();

    return instance.isAnotherInstanceRunning() ? "another runs" : "runs alone";
}

//==============================================================================
// A SingleInstance of nobody's, in a child process with the given environment
// (an empty value unsets the variable). It reports how it stands, then keeps
// its lock and socket until this object ends.
class NobodysInstance
{
public:
    explicit NobodysInstance (const std::map<std::string, std::string>& environment)
    {
        int reportEnds[2], holdEnds[2];

        if (pipe2 (reportEnds, O_CLOEXEC) != 0 || pipe2 (holdEnds, O_CLOEXEC) != 0)
            return;

        pid = fork();

        if (pid == 0)
        {
            close (reportEnds[0]);
            close (holdEnds[1]);
            runChild (environment, reportEnds[1], holdEnds[0]);
        }

        close (reportEnds[1]);
        close (holdEnds[0]);
        reportEnd = reportEnds[0];
        holdEnd = holdEnds[1];
    }

    ~NobodysInstance()
    {
        close (holdEnd);
        close (reportEnd);

        if (pid > 0)
            waitpid (pid, nullptr, 0);
    }

    // "runs alone", "another runs" or its problem; "no report" when it ended
    // without one.
    std::string standing() const
    {
        std::string report;
        char buffer[256];
        pollfd readable { reportEnd, POLLIN, 0 };

        while (poll (&readable, 1, reportBoundMs) > 0)
        {
            const auto count = read (reportEnd, buffer, sizeof (buffer));

            if (count <= 0)
                break;

            report.append (buffer, (size_t) count);

            if (report.back() == '\n')
                return report.substr (0, report.size() - 1);
        }

        return "no report";
    }

private:
    [[noreturn]] static void runChild (const std::map<std::string, std::string>& environment, int reportEnd, int holdEnd)
    {
        prctl (PR_SET_PDEATHSIG, SIGKILL);

        for (const auto& [name, value] : environment)
        {
            if (value.empty())
                unsetenv (name.c_str());
            else
                setenv (name.c_str(), value.c_str(), 1);
        }

        if (becomeNobody())
        {
            SingleInstance instance (applicationName);
            const auto report = describeStanding (instance) + "\n";
            [[maybe_unused]] const auto written = write (reportEnd, report.data(), report.size());

            char released;
            [[maybe_unused]] const auto ended = read (holdEnd, &released, 1);
        }

        _exit (0);
    }

    pid_t pid = -1;
    int reportEnd = -1;
    int holdEnd = -1;
};

//==============================================================================
class SingleInstanceAmongUsers  : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0 || ! canBecomeNobody())
            GTEST_SKIP() << "these tests run instances as nobody (uid " << nobody << "), which needs root";

        // Like /tmp: everyone may make things in it, and remove only their own.
        auto pattern = (std::filesystem::temp_directory_path() / "kvx-single-instance-XXXXXX").string();
        ASSERT_NE (nullptr, mkdtemp (pattern.data()));
        temporaryFolder = pattern;
        ASSERT_EQ (0, chmod (pattern.c_str(), 01777));

        if (! canNobodyEnter (temporaryFolder))
            GTEST_SKIP() << "nobody (uid " << nobody << ") cannot reach " << temporaryFolder
                         << ": give TMPDIR a folder that others may pass through";
    }

    void TearDown() override
    {
        if (! temporaryFolder.empty())
            std::filesystem::remove_all (temporaryFolder);
    }

    static bool canBecomeNobody()
    {
        return succeedsAsNobody ([] { return true; });
    }

    static bool canNobodyEnter (const std::filesystem::path& folder)
    {
        return succeedsAsNobody ([&folder] { return access (folder.c_str(), W_OK | X_OK) == 0; });
    }

    static bool succeedsAsNobody (const std::function<bool()>& action)
    {
        const pid_t child = fork();

        if (child == 0)
            _exit (becomeNobody() && action() ? 0 : 1);

        int status = -1;
        return child > 0 && waitpid (child, &status, 0) == child && WIFEXITED (status) && WEXITSTATUS (status) == 0;
    }

    // A folder of the test's, made with the owner and mode given.
    std::filesystem::path makeFolder (const std::string& name, uid_t owner, mode_t mode) const
    {
        const auto folder = temporaryFolder / name;
        std::filesystem::create_directory (folder);
        EXPECT_EQ (0, chown (folder.c_str(), owner, owner));
        EXPECT_EQ (0, chmod (folder.c_str(), mode));
        return folder;
    }

    // Where nobody's instance makes its folder when the session has none fit.
    std::filesystem::path privateFolder() const
    {
        return temporaryFolder / (std::string (applicationName) + "-" + std::to_string (nobody));
    }

    // The users' runtime folders are in a root that has none for nobody.
    std::map<std::string, std::string> environmentWith (const std::filesystem::path& runtimeFolder) const
    {
        return { { "XDG_RUNTIME_DIR", runtimeFolder.string() }, { "TMPDIR", temporaryFolder.string() },
                 { "KVX_RUNTIME_ROOT", (temporaryFolder / "runtime-root").string() } };
    }

    std::filesystem::path temporaryFolder;
};

//==============================================================================
// A runtime folder that nobody may not write (another user's, as after su) or
// that others may write is passed over for nobody's own folder, where a lock
// and a socket closed to others keep a second start from running. Root, who
// may open the socket all the same, gets no answer from it.
TEST_F (SingleInstanceAmongUsers, AnUnfitRuntimeFolderStillLetsOneInstanceRun)
{
    const std::filesystem::path unfitFolders[] = { makeFolder ("root's", 0, 0700),
                                                   makeFolder ("open", nobody, 0777) };

    for (const auto& runtimeFolder : unfitFolders)
    {
        SCOPED_TRACE (runtimeFolder.string());
        {
            NobodysInstance first (environmentWith (runtimeFolder));
            ASSERT_EQ ("runs alone", first.standing());
            NobodysInstance second (environmentWith (runtimeFolder));
            EXPECT_EQ ("another runs", second.standing());

            for (const auto* file : { ".lock", ".socket" })
            {
                struct stat info {};
                const auto path = privateFolder() / (applicationName + std::string (file));
                ASSERT_EQ (0, lstat (path.c_str(), &info)) << path;
                EXPECT_EQ (nobody, info.st_uid) << path;
                EXPECT_EQ (0u, info.st_mode & 077) << path << " is open to others";
            }

            const auto socketPath = privateFolder() / (applicationName + std::string (".socket"));
            EXPECT_EQ (0, kvxtest::answerTo (kvxtest::connectWholeStart (socketPath)));
        }

        std::filesystem::remove_all (privateFolder());
    }
}

// Whatever another user puts where nobody's folder would be, nobody's start
// neither runs beside another nor runs blind: it names the folder it refuses,
// and what nobody can do about it.
TEST_F (SingleInstanceAmongUsers, SomethingPlantedInItsFolderTurnsTheStartAwayNamingIt)
{
    const auto folder = privateFolder();
    const auto withoutRuntimeFolder = environmentWith ("");

    const auto plantForeignFolderWithItsLockHeld = [&]
    {
        makeFolder (folder.filename(), 0, 0777);
        const auto lock = folder / (applicationName + std::string (".lock"));
        const int descriptor = open (lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        fchmod (descriptor, 0666);
        struct flock wholeFile {};
        wholeFile.l_type = F_WRLCK;
        EXPECT_EQ (0, fcntl (descriptor, F_SETLK, &wholeFile));
        return descriptor;
    };
    const auto plantLinkToNobodysFolder = [&]
    {
        std::filesystem::create_directory_symlink (makeFolder ("nobody's", nobody, 0700), folder);
        return -1;
    };
    const auto plantNobodysFolderOpenToOthers = [&]
    {
        makeFolder (folder.filename(), nobody, 0777);
        return -1;
    };
    const auto plantLockThatNobodyMayNotOpen = [&]
    {
        makeFolder (folder.filename(), nobody, 0700);
        return open ((folder / (applicationName + std::string (".lock"))).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    };

    // Another user's entry in a sticky folder is not nobody's to remove.
    const std::tuple<const char*, std::function<int()>, const char*> plantings[] = {
        { "another user's folder, its lock held", plantForeignFolderWithItsLockHeld, "ask the administrator" },
        { "a link to a folder of nobody's", plantLinkToNobodysFolder, "ask the administrator" },
        { "nobody's folder open to others", plantNobodysFolderOpenToOthers, "remove it" },
        { "a lock that nobody may not open", plantLockThatNobodyMayNotOpen, "" },
    };

    for (const auto& [planted, plant, remedy] : plantings)
    {
        SCOPED_TRACE (planted);
        const int heldDescriptor = plant();

        const auto standing = NobodysInstance (withoutRuntimeFolder).standing();
        EXPECT_NE (std::string::npos, standing.find (folder.string())) << standing;
        EXPECT_NE (std::string::npos, standing.find (remedy)) << standing;

        if (heldDescriptor >= 0)
            close (heldDescriptor);

        std::filesystem::remove_all (folder);
    }
}

} // namespace
