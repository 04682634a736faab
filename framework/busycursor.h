#pragma once

// While the database waits for another program's lock the window cannot
// repaint; the wait cursor is the only sign that the program is alive.
// Installs the engine's busy hook for the whole program.
void installBusyCursor();
