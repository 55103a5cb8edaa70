// Saves broken off at each file change they make: the process killed just before it (a crash, a
// power cut), or the disk full from it on. The test program runs itself again with the fault probe
// preloaded; that runner forks one child per save, which makes it through the real Core,
// UserManager, HashManager and Config with the probe armed, and then a second child that starts
// the game again on what the first one left, so the start-up's recovery runs. Every profile that
// "users.ini" lists must then load, the player's settings must stay, "hashes.ini" must match the
// files, and a save that did not happen must have said so.
#include "Config.h"
#include "Core.h"
#include "Crypt.h"
#include "Exception.h"
#include "Game.h"
#include "Harness.h"
#include "TestEnv.h"
#include "UserManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

enum class Operation
{
    createProfile, // a new player "bob" beside "ann"
    saveLevel,     // "ann" finished a level
    saveConfig     // the settings written at quit
};

const struct Case
{
    Operation operation;
    const char* name;
} cases[] = {
    {Operation::createProfile, "create"},
    {Operation::saveLevel, "save"},
    {Operation::saveConfig, "config"},
};

const char* const annBefore = "1\n120\n85\n0\n";
const char* const annAfter = "2\n120\n95\n0\n";
const char* const bobNew = "0\n0\n0\n0\n";
// The player's own settings, none of them the default, and a key the game does not know.
const char* const playerConfig = "dash_with_control = 0\r\nsound_volume = 15\r\nmusic_volume = 80\r\n"
                                 "screen_width = 800\r\nscreen_height = 600\r\nscreen_vsync = 0\r\n"
                                 "my_own_key = 7\r\n";
const std::map<std::string, int> settingsBefore = {
    {"dash_with_control", 0}, {"sound_volume", 15}, {"music_volume", 80}, {"screen_width", 800},
    {"screen_height", 600},   {"screen_vsync", 0},  {"my_own_key", 7}};
// Changed in the options before quitting.
const char* const changedKey = "music_volume";
const int changedValue = 12;
// The files a save may touch, besides "config.ini".
const char* const savedFiles[] = {"users.ini", "user_ann.ini", "user_bob.ini", "hashes.ini"};

using Report = std::map<std::string, std::string>;

// Three small levels and no pictures, sounds or music: the saves need none, and a start-up
// without them is much quicker.
std::string workDir()
{
    const std::string level = "5 5\ntileset1\nlevel.ogg\n#####\n#p.x#\n#...#\n#...#\n#####\n0\n";
    return makeWorkDir({{"levels.ini", "levels/easy/a.txt\nlevels/easy/b.txt\nlevels/easy/c.txt\n"},
                        {"levels/easy/a.txt", level},
                        {"levels/easy/b.txt", level},
                        {"levels/easy/c.txt", level}},
                       false);
}

std::string appDataOf(const std::string& home)
{
    return home + "/vormel/Quarrow/";
}

// "key=value" lines.
Report readReport(const std::string& path)
{
    Report report;
    std::istringstream lines(readFile(path));
    std::string line;
    while (std::getline(lines, line))
    {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

void writeReport(const std::string& path, const Report& report)
{
    std::string text;
    for (const auto& entry : report)
        text += entry.first + "=" + entry.second + "\n";
    writeFile(path, text);
}

// ---- the children ------------------------------------------------------------------------------

// Makes the save with the fault probe armed around it (QUARROW_FAULT says how it breaks).
void makeTheSave(Operation operation, const std::string& work, const std::string& home,
                 const std::string& out)
{
    using Arm = void (*)();
    using Disarm = unsigned long (*)(unsigned long*);
    const Arm arm = reinterpret_cast<Arm>(dlsym(RTLD_DEFAULT, "quarrowFaultArm"));
    const Disarm disarm = reinterpret_cast<Disarm>(dlsym(RTLD_DEFAULT, "quarrowFaultDisarm"));
    ASSERT_TRUE(arm != nullptr && disarm != nullptr) << "the fault probe is not preloaded";

    std::unique_ptr<Harness> harness(new Harness(work, {}, home));
    ASSERT_EQ(harness->initResult(), 0);
    UserManager* users = Core::getGame()->getUserManager();
    Report report;
    std::string outcome = "saved";
    unsigned long refused = 0;
    unsigned long changes = 0;
    if (operation == Operation::saveConfig)
    {
        Core::getConfig()->set(changedKey, changedValue);
        arm();
        harness.reset(); // Core::shutdown: the settings are saved as the program ends
        changes = disarm(&refused);
        const std::string log = readFile(appDataOf(home) + "log.txt");
        if (log.find("Config: saved\n") == std::string::npos)
            outcome = "failed";
    }
    else
    {
        if (operation == Operation::saveLevel)
        {
            users->loadUser("ann");
            ASSERT_TRUE(Core::isRunning());
            users->setScore(1, 95);
            users->setReachedLevel(2);
        }
        arm();
        try
        {
            if (operation == Operation::createProfile)
                users->createUser("bob");
            else
                users->saveUser();
        }
        catch (Exception* e)
        {
            outcome = "failed: " + e->getMessage();
            delete e;
        }
        changes = disarm(&refused);
        report["listed"] = std::to_string(users->getUserCount());
        report["bob listed"] = users->userExists("bob") ? "yes" : "no";
    }
    report["changes"] = std::to_string(changes);
    report["refused"] = std::to_string(refused);
    report["outcome"] = outcome;
    writeReport(out, report);
}

// Starts the game again and loads every listed profile, as the load page would.
void startAgain(const std::string& work, const std::string& home, const std::string& out)
{
    Harness harness(work, {}, home);
    Report report;
    report["init"] = std::to_string(harness.initResult());
    report["running"] = Core::isRunning() ? "yes" : "no";
    if (harness.initResult() == 0)
    {
        for (const auto& setting : settingsBefore)
            report["config " + setting.first] = std::to_string(Core::getConfig()->get(setting.first, -999));
        UserManager* users = Core::getGame()->getUserManager();
        std::vector<std::string> names;
        for (std::string name = users->firstUserName(); !name.empty(); name = users->nextUserName())
            names.push_back(name);
        for (const std::string& name : names)
        {
            std::string loaded;
            try
            {
                users->loadUser(name);
                loaded = Core::isRunning() && users->getUserName() == name ? "yes" : "no";
            }
            catch (Exception* e)
            {
                loaded = "threw " + e->getMessage();
                delete e;
            }
            report["loaded " + name] = loaded;
        }
        report["users"] = std::to_string(names.size());
    }
    writeReport(out, report);
}

// ---- the runner --------------------------------------------------------------------------------

std::string hashOfText(const std::string& text)
{
    const std::string dir = makeTempDir("quarrow-hash");
    writeFile(dir + "/file", text);
    const std::string hash = Crypt::md5File(dir + "/file");
    unlink((dir + "/file").c_str());
    rmdir(dir.c_str());
    return hash;
}

// "hashes.ini" as the game writes it for this table.
std::string tableText(const std::map<std::string, std::string>& table)
{
    std::string text;
    for (const auto& entry : table)
        text += entry.second + "\t" + entry.first + "\n";
    return text;
}

std::map<std::string, std::string> tableOf(const std::string& text)
{
    std::map<std::string, std::string> table;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
    {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            table[line.substr(tab + 1)] = line.substr(0, tab);
    }
    return table;
}

// What a save leaves for the next start: the files it may touch (absent ones missing) and the
// settings that start reads.
struct Disk
{
    std::map<std::string, std::string> files;
    std::map<std::string, int> settings;

    bool operator==(const Disk& other) const { return files == other.files && settings == other.settings; }
};

struct Sweep
{
    std::string work;
    std::string seed;                          // the working folder's "hashes.ini"
    std::map<std::string, std::string> hashes; // of annBefore, annAfter, bobNew
};

// One save, broken off by `fault` ("" for none), and the start after it.
struct Point
{
    const Case* c = nullptr;
    std::string fault;
    std::string trace; // where the probe lists the changes, or ""
    std::string home;
    Disk before; // everything as it was
    Disk after;  // everything saved
    int saveStatus = -1;
    Report save;
    int restartStatus = -1;
    Report restart;
    Disk disk;
    std::vector<std::string> leftovers;
};

// A fresh data home holding "ann" with some progress and the player's own settings.
Point prepare(const Sweep& sweep, const Case& c, const std::string& fault)
{
    Point point;
    point.c = &c;
    point.fault = fault;
    point.home = makeTempDir(std::string("quarrow-save-") + c.name);
    const std::string appData = appDataOf(point.home);
    mkdir((point.home + "/vormel").c_str(), 0755);
    mkdir(appData.c_str(), 0755);
    const std::string ann = appData + "user_ann.ini";
    // Profiles are listed by their file names.
    const std::string hashes = sweep.seed + sweep.hashes.at(annBefore) + "\tuser_ann.ini\n";
    writeFile(appData + "config.ini", playerConfig);
    writeFile(appData + "users.ini", "ann\n");
    writeFile(ann, annBefore);
    writeFile(appData + "hashes.ini", hashes);

    point.before.files = {{"users.ini", "ann\n"}, {"user_ann.ini", annBefore}, {"hashes.ini", hashes}};
    point.before.settings = settingsBefore;
    point.after = point.before;
    std::map<std::string, std::string> table = tableOf(sweep.seed);
    switch (c.operation)
    {
    case Operation::createProfile:
        table["user_ann.ini"] = sweep.hashes.at(annBefore);
        table["user_bob.ini"] = sweep.hashes.at(bobNew);
        point.after.files["users.ini"] = "ann\nbob\n";
        point.after.files["user_bob.ini"] = bobNew;
        point.after.files["hashes.ini"] = tableText(table);
        break;
    case Operation::saveLevel:
        table["user_ann.ini"] = sweep.hashes.at(annAfter);
        point.after.files["user_ann.ini"] = annAfter;
        point.after.files["hashes.ini"] = tableText(table);
        break;
    case Operation::saveConfig:
        point.after.settings[changedKey] = changedValue;
        break;
    }
    return point;
}

// Forks a child that runs part, its output going to outputPath. The child's status tells whether
// its checks passed. Without leakCheck it ends without LeakSanitizer's check, which costs as much
// as the rest of a restart: a restart runs only what the in-process tests check for leaks already.
template <typename Part> pid_t forkChild(const std::string& outputPath, bool leakCheck, Part part)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
    {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        dup2(output, 1);
        dup2(output, 2);
        part();
        std::fflush(nullptr);
        const int status = ::testing::Test::HasFailure() ? 1 : 0;
        if (!leakCheck)
            _exit(status);
        std::exit(status);
    }
    return pid;
}

pid_t startSave(const Sweep& sweep, Point& point)
{
    return forkChild(point.home + "/save.out", true,
                     [&]
                     {
                         setenv("QUARROW_FAULT", point.fault.c_str(), 1);
                         setenv("QUARROW_FAULT_TRACE", point.trace.c_str(), 1);
                         makeTheSave(point.c->operation, sweep.work, point.home, point.home + "/save.report");
                     });
}

pid_t startRestart(const Sweep& sweep, Point& point)
{
    return forkChild(point.home + "/restart.out", false,
                     [&] { startAgain(sweep.work, point.home, point.home + "/restart.report"); });
}

std::vector<std::string> leftoversIn(const std::string& folder)
{
    std::vector<std::string> found;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return found;
    while (const dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        const auto endsWith = [&](const std::string& tail) {
            return name.size() >= tail.size() &&
                   name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
        };
        if (endsWith(".new") || endsWith(".tmp") || name.find("journal") != std::string::npos)
            found.push_back(name);
    }
    closedir(dir);
    return found;
}

void collect(Point& point)
{
    point.save = readReport(point.home + "/save.report");
    point.restart = readReport(point.home + "/restart.report");
    const std::string appData = appDataOf(point.home);
    for (const char* name : savedFiles)
    {
        if (access((appData + name).c_str(), F_OK) == 0)
            point.disk.files[name] = readFile(appData + name);
    }
    for (const auto& setting : settingsBefore)
    {
        const auto read = point.restart.find("config " + setting.first);
        point.disk.settings[setting.first] =
            read != point.restart.end() ? std::atoi(read->second.c_str()) : -999;
    }
    point.leftovers = leftoversIn(appData);
}

// Runs every point, a few children at a time: its save, then its restart.
void runAll(const Sweep& sweep, std::vector<Point>& points)
{
    const size_t parallel = 6;
    std::map<pid_t, std::pair<size_t, bool>> running; // pid -> point, whether it is the restart
    size_t next = 0;
    while (next < points.size() || !running.empty())
    {
        while (running.size() < parallel && next < points.size())
        {
            running[startSave(sweep, points[next])] = {next, false};
            ++next;
        }
        int status = -1;
        const pid_t pid = waitpid(-1, &status, 0);
        if (pid < 0)
        {
            ADD_FAILURE() << "waitpid failed";
            return;
        }
        const auto child = running.find(pid);
        if (child == running.end())
            continue;
        const size_t n = child->second.first;
        const bool restart = child->second.second;
        running.erase(child);
        if (!restart)
        {
            points[n].saveStatus = status;
            running[startRestart(sweep, points[n])] = {n, true};
        }
        else
        {
            points[n].restartStatus = status;
            collect(points[n]);
        }
    }
}

std::string get(const Report& report, const std::string& key)
{
    const auto entry = report.find(key);
    return entry != report.end() ? entry->second : "";
}

std::string describe(const Point& point)
{
    std::string text = point.home + "\nsave:";
    for (const auto& entry : point.save)
        text += " [" + entry.first + "=" + entry.second + "]";
    text += "\nrestart:";
    for (const auto& entry : point.restart)
        text += " [" + entry.first + "=" + entry.second + "]";
    return text;
}

// What every restart must show: the game started, every listed profile loaded, the settings and
// the files are those of before the save or of after it, and no piece of the save is left over.
// 0 for before, 1 for after, -1 for neither.
int checkRestart(const Point& point)
{
    EXPECT_EQ(point.restartStatus, 0) << readFile(point.home + "/restart.out");
    EXPECT_EQ(get(point.restart, "init"), "0");
    EXPECT_EQ(get(point.restart, "running"), "yes");
    int loaded = 0;
    for (const auto& entry : point.restart)
    {
        if (entry.first.compare(0, 7, "loaded ") == 0)
        {
            EXPECT_EQ(entry.second, "yes") << entry.first;
            ++loaded;
        }
    }
    EXPECT_EQ(std::to_string(loaded), get(point.restart, "users"));
    EXPECT_TRUE(point.leftovers.empty()) << point.leftovers.front();
    if (point.disk == point.before)
        return 0;
    if (point.disk == point.after)
        return 1;
    ADD_FAILURE() << "neither the old state nor the new one";
    return -1;
}

// The changes each save makes, counted by undisturbed runs ("<n> <call> <path or fd>" each).
std::vector<std::vector<std::string>> countChanges(const Sweep& sweep)
{
    std::vector<Point> counting;
    for (const Case& c : cases)
    {
        counting.push_back(prepare(sweep, c, ""));
        counting.back().trace = counting.back().home + "/changes";
    }
    runAll(sweep, counting);
    std::vector<std::vector<std::string>> changes;
    for (const Point& point : counting)
    {
        SCOPED_TRACE(std::string(point.c->name) + " undisturbed\n" + describe(point));
        std::vector<std::string> lines;
        std::istringstream text(readFile(point.trace));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        EXPECT_EQ(point.saveStatus, 0) << readFile(point.home + "/save.out");
        EXPECT_EQ(get(point.save, "outcome"), "saved");
        EXPECT_EQ(checkRestart(point), 1);
        EXPECT_EQ(std::to_string(lines.size()), get(point.save, "changes"));
        EXPECT_FALSE(lines.empty());
        changes.push_back(lines);
    }
    return changes;
}

// Every save broken off at each of its changes in turn.
std::vector<Point> breakEverySave(const Sweep& sweep, const std::string& kind,
                                  const std::vector<std::vector<std::string>>& changes)
{
    std::vector<Point> points;
    for (size_t c = 0; c < changes.size(); ++c)
    {
        for (size_t n = 1; n <= changes[c].size(); ++n)
            points.push_back(prepare(sweep, cases[c], kind + ":" + std::to_string(n)));
    }
    runAll(sweep, points);
    return points;
}

Sweep startSweep()
{
    Sweep sweep;
    sweep.work = workDir();
    sweep.seed = readFile(sweep.work + "/hashes.ini");
    for (const char* text : {annBefore, annAfter, bobNew})
        sweep.hashes[text] = hashOfText(text);
    return sweep;
}

// Outside the runner: runs this test again in a runner with the fault probe preloaded, and
// returns true. Inside it: returns false.
bool runInRunner()
{
    if (std::getenv("QUARROW_SAVE_RUNNER") != nullptr)
        return false;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    char exe[4096] = {0};
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) <= 0)
    {
        ADD_FAILURE() << "can't find this test program";
        return true;
    }
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    // The probe comes before the sanitizer's runtime, which is fine for it.
    const std::string asanOptions =
        std::string(sanitizer != nullptr ? sanitizer : "") + ":verify_asan_link_order=0";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
    {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        setenv("QUARROW_SAVE_RUNNER", "1", 1);
        setenv("LD_PRELOAD", QUARROW_FAULT_PROBE_LIB, 1);
        setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
        char* argv[] = {exe, &filter[0], nullptr};
        execv(exe, argv);
        _exit(127);
    }
    int status = -1;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the runner's failures are above";
    return true;
}

} // namespace

TEST(SaveFaults, KilledBeforeAnyFileChangeTheNextStartFindsTheOldStateOrTheNew)
{
    if (runInRunner())
        return;
    const Sweep sweep = startSweep();
    const std::vector<std::vector<std::string>> changes = countChanges(sweep);
    const std::vector<Point> points = breakEverySave(sweep, "kill", changes);
    int lastState = 0;
    for (size_t i = 0, n = 0; i < points.size(); ++i, ++n)
    {
        const Point& point = points[i];
        if (i > 0 && point.c != points[i - 1].c)
        {
            n = 0;
            lastState = 0;
        }
        SCOPED_TRACE(std::string(point.c->name) + ", killed before change " + changes[point.c - cases][n] +
                     "\n" + describe(point));
        EXPECT_TRUE(WIFSIGNALED(point.saveStatus) && WTERMSIG(point.saveStatus) == SIGKILL)
            << readFile(point.home + "/save.out");
        const int state = checkRestart(point);
        // One commit point: every kill before it keeps the old state, every one after it the new.
        EXPECT_GE(state, lastState);
        lastState = std::max(lastState, state);
    }
}

TEST(SaveFaults, DiskFullFromAnyFileChangeFailsTheSaveWholeAndSaysSo)
{
    if (runInRunner())
        return;
    const Sweep sweep = startSweep();
    const std::vector<std::vector<std::string>> changes = countChanges(sweep);
    const std::vector<Point> points = breakEverySave(sweep, "full", changes);
    for (size_t i = 0, n = 0; i < points.size(); ++i, ++n)
    {
        const Point& point = points[i];
        if (i > 0 && point.c != points[i - 1].c)
            n = 0;
        SCOPED_TRACE(std::string(point.c->name) + ", disk full from change " + changes[point.c - cases][n] +
                     "\n" + describe(point));
        EXPECT_EQ(point.saveStatus, 0) << readFile(point.home + "/save.out");
        const int state = checkRestart(point);
        const bool failed = get(point.save, "outcome").compare(0, 6, "failed") == 0;
        // A save that met the full disk says so, and one that says so changed nothing.
        EXPECT_EQ(failed, get(point.save, "refused") != "0");
        EXPECT_EQ(state, failed ? 0 : 1);
        if (point.c->operation == Operation::createProfile)
        {
            EXPECT_EQ(get(point.save, "listed"), failed ? "1" : "2");
            EXPECT_EQ(get(point.save, "bob listed"), failed ? "no" : "yes");
        }
    }
}
