#pragma once

// Tells the user why the show cannot run: one line on stderr when the process has somewhere to
// write it (started from a console or with its output redirected), otherwise a message box, since a
// program started from the desktop has no stderr and would otherwise end without a word.
void reportFailure(const char* line);
