#pragma once

// A generated camera card and the command-line tool's rows for it, shared by the window tests.

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "copy/result_row.h"

namespace pelko::test {

// A DCIM tree below root: pictures, RAW files and movies of three kinds, a file of no kind and a
// "PHOT" file the run leaves out. `copies` JPEG files in all; dated a minute apart.
inline void MakeCard(const std::string& root, int copies = 6) {
    for (int i = 1; i <= copies; ++i) {
        const std::string folder = root + "/DCIM/" + (i % 2 == 0 ? "100PENTX" : "101PENTX");
        char name[32];
        std::snprintf(name, sizeof name, "IMGP%04d", i);
        const std::string jpeg = folder + "/" + name + ".JPG";
        WriteFile(jpeg, std::string(200 + i, static_cast<char>('a' + i % 26)));
        SetMTime(jpeg, 2026, 11, 3, 10, i / 60 % 60, i % 60);
        if (i <= 3) {
            WriteFile(folder + "/" + name + ".PEF", std::string(500, 'r'));
            SetMTime(folder + "/" + name + ".PEF", 2026, 11, 3, 10, 0, i);
        }
    }
    WriteFile(root + "/DCIM/100PENTX/MOVI0001.MOV", std::string(1000, 'm'));
    SetMTime(root + "/DCIM/100PENTX/MOVI0001.MOV", 2026, 11, 4, 8, 0, 0);
    WriteFile(root + "/DCIM/100PENTX/IMGP0001.THM", "thumb");
    WriteFile(root + "/DCIM/PHOT0001.JPG", "not listed");
}

// The four grid cells of a row, tab-separated, as the tool prints them.
inline QString RowLine(const TResultRow& row) {
    const std::array<std::string, 4> cells = GridCells(row);
    return QString::fromStdString(cells[0] + "\t" + cells[1] + "\t" + cells[2] + "\t" + cells[3]);
}

// The tool's row lines for an import (its status and speed lines dropped); the exit status in
// *status.
inline QStringList CliRows(const std::string& args, int* status = nullptr) {
    std::string out;
    const int code = RunCli("import " + args, &out);
    if (status != nullptr) *status = code;
    QStringList lines = QString::fromStdString(out).split('\n');
    while (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    if (lines.size() >= 2) lines.resize(lines.size() - 2);
    return lines;
}

}  // namespace pelko::test
