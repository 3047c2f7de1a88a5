#pragma once

#include <QString>

// The folder of the running executable: the program's own files live there, never in the
// current directory. Tests point it at a folder of their own.
class TProgramFolder
{
public:
    static QString Path();
    // Path() + "/" + fileName.
    static QString File(const QString& fileName);
    static void OverrideForTesting(const QString& folder);
};
