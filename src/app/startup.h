#pragma once

// Loads the main window, shows it and runs the program until it ends.
int runRondexa();
