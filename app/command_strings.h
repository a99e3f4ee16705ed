#pragma once

#include <QString>

// The string table of the commands: a status-bar prompt and a tooltip per command, kept in one
// string as "prompt\ntooltip". Commands without an entry have neither.
QString CommandString(int id);
// The part before the newline (status-bar prompt), or an empty string.
QString CommandPrompt(int id);
// The part after the newline (tooltip), or an empty string.
QString CommandToolTip(int id);
