#pragma once
// A list control in a window of its own, with one image list bound to both picture kinds.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QWidget>
#include <string>
#include <vector>

#include "app/platform/ImageList.h"
#include "app/platform/ListView.h"
#include "support/BannerFiles.h"

namespace talvane::test {

class ListViewTest : public ::testing::Test {
protected:
    ListViewTest() : list(new ListView(&window)), pictures(12, 8) { list->resize(400, 300); }

    // Adds an entry whose pictures are stored under its key.
    ListItem AddBanner(const std::string& key, const QString& text) {
        if (!pictures.Has(key)) pictures.ListImages().Add(key, BannerPicture(1));
        return list->ListItems().Add(key, text, key, key);
    }

    void Bind() {
        list->SetIcons(&pictures);
        list->SetSmallIcons(&pictures);
    }

    // The texts in the order the list shows them.
    std::vector<QString> Rows() {
        QCoreApplication::processEvents();
        std::vector<QString> rows;
        for (int row = 0; row < list->ListItems().Count(); ++row)
            rows.push_back(list->ListItems().AtRow(row).Text());
        return rows;
    }

    QWidget window;
    ListView* list;
    ImageList pictures;
};

}  // namespace talvane::test
