// What the windows opened from the main window need of the diary: where its files are (and
// the store of its entries), the user's editor font size, the folder pages are saved to, and a way
// to show a day.
#pragma once

#include <QDate>
#include <QString>

#include "core/entry_store.h"
#include "core/program_folder.h"

class DiaryContext {
public:
    virtual ~DiaryContext() = default;

    virtual const tavo::ProgramPaths& paths() const = 0;
    virtual const tavo::EntryStore& store() const = 0;
    // The point size of the editing and list fonts, from the preferences read at start.
    virtual int editorFontSize() const = 0;
    virtual QString htmlSavePath() const = 0;
    virtual void setHtmlSavePath(const QString& path) = 0;
    // Shows `date` in the main window, saving the day it leaves; false when it could not.
    virtual bool showDate(const QDate& date) = 0;
};
