// Gives a reading view its parts: everything around the page that makes reading easier.
// The view owns them; the frame keeps these pointers for the few calls it makes itself.
#pragma once

namespace varnelo {

class AutoScroll;
class BookFind;
class ChapterList;
class PlaceKeeper;
class CVarneloView;
class LibrarySideBar;
class PageAppearance;
class QuotationLine;
class ReadAloud;
class ReadingSettings;
class TextConversion;
class PageCleaning;

struct ReadingAids {
  LibrarySideBar* sideBar = nullptr;
  PageAppearance* appearance = nullptr;
  AutoScroll* autoScroll = nullptr;
  QuotationLine* quotation = nullptr;
  ReadingSettings* settings = nullptr;
  ChapterList* chapters = nullptr;
  BookFind* find = nullptr;
  PlaceKeeper* places = nullptr;
  TextConversion* conversion = nullptr;
  PageCleaning* cleaning = nullptr;
  ReadAloud* readAloud = nullptr;
};

ReadingAids AttachReadingAids(CVarneloView& view);

}  // namespace varnelo
