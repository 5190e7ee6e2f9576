// What the windows opened from the main window need of the diary: the diary itself (where
// its files are, the store of its entries, the user's preferences), the folder pages are
// saved to, and a way to show a day.
#pragma once

#include <QDate>
#include <QString>

#include "common/diary.h"
#include "core/entry_store.h"
#include "core/program_folder.h"

class DiaryContext {
public:
    virtual ~DiaryContext() = default;

    virtual Diary& diary() const = 0;
    const tavo::ProgramPaths& paths() const { return diary().paths(); }
    const tavo::EntryStore& store() const { return diary().store(); }
    // The point size of the editing and list fonts, from the preferences read at start.
    int editorFontSize() const { return diary().editorFontSize(); }
    virtual QString htmlSavePath() const = 0;
    virtual void setHtmlSavePath(const QString& path) = 0;
    // Shows `date` in the main window, saving the day it leaves; false when it could not.
    virtual bool showDate(const QDate& date) = 0;
};
