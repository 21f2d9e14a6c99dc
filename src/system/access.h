#pragma once
// File access rights from the three sets of a Windows access list.
#include "base/types.h"

// Gives `path` (links followed) the rights 4 read, 2 write, 1 execute: `user` for its
// owner, `admins` for its group (the stand-in for the administrators), `everyone` for
// all. As in an access list, a set also grants what "everyone" grants, so the owner gets
// user | everyone and the group admins | everyone. Each set is masked to 0..7; setuid,
// setgid and sticky bits are cleared; on a folder, read includes execute (listing a
// folder on Windows includes passing through it). False when the rights cannot be set.
bool GrantAccess(const char16_t* path, i32 user, i32 admins, i32 everyone);
