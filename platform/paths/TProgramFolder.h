#pragma once

#include <QString>

// Where the program keeps its own files, never the current directory. A copy whose folder can
// be written (run from its build or unpacked folder) keeps them beside the executable; an
// installed copy, whose folder cannot be written, keeps the same files in the per-user config
// folder (~/.config/parlavue). Decided once per run. Tests point it at a folder of their own.
class TProgramFolder
{
public:
    static QString Path();
    // Path() + "/" + fileName.
    static QString File(const QString& fileName);
    // The executable's folder cannot be written: the files live in the config folder.
    static bool IsInstalled();
    static void OverrideForTesting(const QString& folder);

    // The folder for an executable in exeFolder, given whether that can be written; made when
    // missing. Empty configHome means the user's standard config folder.
    static QString Choose(const QString& exeFolder, bool writable, const QString& configHome = {});
};
