#include "help/ufmDocView.h"

#include <utility>

TfrmDocView::TfrmDocView(std::u16string AHtmlFilePath, std::u16string ACaption)
    : FHtmlFilePath(std::move(AHtmlFilePath)), FCaption(std::move(ACaption)) {}

os::TDocumentShown TfrmDocView::ShowModal() const { return os::ShowDocumentWindow(FHtmlFilePath, FCaption); }
