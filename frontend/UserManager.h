#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FileTransaction;

// The players' profiles: the names in "users.ini" and, for the current player, the reached level
// and the best score of every level, kept in "user_" + name + ".ini" under the integrity checker.
class UserManager
{
  public:
    // Makes sure "users.ini" exists and reads its names. Throws Exception* when it cannot be made.
    UserManager();
    virtual ~UserManager();

    int getUserCount() const;
    // The first name, or "" when there is none; moves the cursor.
    std::string firstUserName();
    // The name after the cursor, or "" past the last one. Only after firstUserName.
    std::string nextUserName();
    // Whether exactly this name (letter case counts) is listed. Moves the cursor.
    bool userExists(const std::string& name);

    std::string getUserName() const;
    int32_t getReachedLevel() const;
    // A value at or beyond the level count stores 0.
    void setReachedLevel(int32_t n);
    // Best score of a level; 0 for an index outside the level list.
    int32_t getScore(int32_t level) const;
    // Memory only; an index outside the level list is ignored.
    void setScore(int32_t level, int32_t score);
    // Sum of the best scores of every level but exceptLevel.
    int32_t getTotalScore(int32_t exceptLevel) const;

    // Writes an all-zero profile and lists the name, together with its hash, as one save; the
    // current player stays. Throws Exception* when the save did not happen: then nothing changed,
    // on disk or in the list.
    void createUser(const std::string& name);
    // Checks and reads the profile and makes the player current. When the integrity check fails
    // nothing changes and the program is asked to quit. Throws Exception* when it cannot be read.
    void loadUser(const std::string& name);
    // Writes the current player's profile and its hash as one save. Throws Exception* when the save
    // did not happen: the old profile and hash then stay.
    void saveUser();

  private:
    void allocScores();
    void ensureUsersFile();
    void loadUsers();
    // Stages "users.ini" listing names in save.
    void saveUsers(FileTransaction& save, const std::vector<std::string>& names);
    static std::string usersPath();
    static std::string profilePath(const std::string& name);
    // Stages path's new contents in save. Throws Exception* when that failed.
    static void stage(FileTransaction& save, const std::string& path, const std::string& contents);
    // Commits save with the new hash of the profile at path. Throws Exception* when it failed.
    static void commit(FileTransaction& save, const std::string& path);

    std::vector<std::string> users;
    size_t cursor;
    int32_t* scores;
    int32_t reachedLevel;
    std::string userName;
    int32_t scoreCount; // length of scores
};
