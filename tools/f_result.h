// The search results: one line per hit; opening a line moves the main window to that day.
#pragma once

#include <QDate>
#include <QDialog>
#include <QString>
#include <optional>

#include "tools/diary_search.h"

class QLabel;
class QListWidget;
class QPushButton;
class DiaryContext;

// "2024/01/05(金) : title": the Japanese weekday whatever the locale.
QString ResultLine(const QDate& date, const QString& title);
// The day of a result line, read back from characters 1-4, 6-7 and 9-10; invalid when the
// line does not start with a date.
QDate DateOfResultLine(const QString& line);
// "該当日記件数は3件です", with the files that could not be searched when there were any.
QString ResultCountText(int hits, int skipped);

class TResult_Find : public QDialog {
    Q_OBJECT

public:
    TResult_Find(DiaryContext* diary, QWidget* mainWindow);

    // Replaces the list and the count with those of a search. While the window is open,
    // the search is made again whenever entry files change (another writer, a save), so
    // the list never shows a day as it no longer is.
    void setResults(const tavo::SearchResult& result,
                    std::optional<tavo::SearchRequest> request = std::nullopt);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void searchAgain();
    void onShow();
    void onShowEntry();

    DiaryContext* diary_;
    QWidget* mainWindow_;
    std::optional<tavo::SearchRequest> request_;
    QLabel* countLabel_ = nullptr;
    QListWidget* resultList_ = nullptr;
    QPushButton* showButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};
