// Starting the user's text editor on a file, without waiting for it.
//
// The editor is $VISUAL, else $EDITOR, else xdg-open (the desktop's program
// for the file). A variable may hold a command with arguments ("gedit -s",
// "code --new-window"); it is split at blanks, no shell is involved, and the
// file name is passed as one argument of its own, whatever it contains.
#pragma once

#include <string>
#include <vector>

// The command line Editor_Open runs for path: program, its arguments, path.
std::vector<std::string> Editor_Command(const std::string& path);

// Starts the editor detached from the program (it is not waited for and
// leaves no zombie). 0 when the program was started, else the system error
// number (ENOENT when the program cannot be found).
int Editor_Open(const std::string& path);
