#pragma once
#include <QString>

// The folders and configuration files that start-up finds or creates and hands
// to the main window and, through it, to the dialogs. Folder paths end with '/'.
struct AppPaths {
    QString documentsFolder;  // the user's documents folder
    QString settingsFolder;   // documentsFolder + "talmon/"
    QString setDataPathIni;   // settingsFolder + "SetDataPath.ini": root of the data folder
    QString setInfoIni;       // settingsFolder + "setinfo.ini": language identifier
    QString heartletIni;      // settingsFolder + "Heartlet.ini": section INFO
    QString dataFolder;       // root from SetDataPath.ini + "DATA/"
};

// The user's documents folder as the desktop reports it (XDG), with '/' at the end.
QString DocumentsFolder();

// The settings folder and the three configuration file paths for a documents folder.
AppPaths PathsForDocuments(const QString& documentsFolder);

// Creates the documents folder (one level) and the settings folder when missing.
// Returns false with `error` set when the settings folder does not exist afterwards.
bool EnsureSettingsFolder(const AppPaths& paths, QString* error);
