#pragma once
// An installed copy lives in a folder its user cannot write to, yet the
// program writes into its program folder (the own rule lists, temp/). Such a
// copy works from a per-user program folder instead, filled from the
// installed one:
//  - the shipped folders (ini/, language/, sound/, tools/, help/) are copied
//    at the first start;
//  - at later starts a shipped file is copied again only when the installed
//    one changed since (a newer package), so a user's edit of a shipped file
//    stays until then; what the user added is never touched;
//  - the user's own files (ini/*_User.ini, the notice template in tools/)
//    are copied only when they are missing;
//  - temp/ is made, and a link named like the program points at the
//    installed program, so that shortcuts made from this folder start it.
// What was copied, and from which installed state, is kept in the file
// ".installed" of the per-user folder.
#include <QString>

namespace UserProgramFolder {
// True when files can be created in <folder>/ini (or in the folder itself
// when it has no ini/): the program can keep its lists and work files there.
bool writable(const QString &folder);
// True for relative paths ("ini/Betreff_User.ini") of files the user edits.
bool ownedByUser(const QString &relative);
// Fills or refreshes `user` from `installed`. Returns an empty text on
// success, else what failed (the folder may then be partly filled).
QString seed(const QString &installed, const QString &user);
}
