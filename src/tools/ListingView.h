// A read-only view of a long listing text: it keeps the one text it is given and lays out only
// the lines on screen, so a listing of many megabytes appears at once. Ctrl+A selects the whole
// listing and Ctrl+C (or the context menu) copies it exactly, CR LF line ends included.
// UI thread only.
#pragma once

#include <QAbstractScrollArea>

#include <cstddef>
#include <string>
#include <vector>

class ListingView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ListingView(QWidget *parent);

    void setListing(std::string text); // ASCII text with CR LF line ends
    const std::string &listing() const { return text_; }
    void selectAll();
    bool allSelected() const { return allSelected_; }
    std::string selectedText() const { return allSelected_ ? text_ : std::string(); }
    void copy() const; // the selection to the clipboard

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    std::size_t lineCount() const { return lineStarts_.size(); }
    void updateScrollBars();

    std::string text_;
    std::vector<std::size_t> lineStarts_; // offset of each line in text_
    std::size_t longestLine_ = 0;         // characters
    bool allSelected_ = false;
};
