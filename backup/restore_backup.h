#pragma once

// Moves everything in the backup tree back over data\ (folders merge, existing game files
// are replaced), deletes every data\text\*.txt.strings.bin and leaves the tree's root
// folder present and empty. Links inside the tree are never followed. Always true.
bool restoreBackup();
