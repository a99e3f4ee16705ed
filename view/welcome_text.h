#pragma once

#include <string>

// What the pane shows before the first book: the program, its version and what it does.
const std::u16string& WelcomeText();
