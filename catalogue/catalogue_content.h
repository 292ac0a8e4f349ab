// What the catalogue shows: its pages in display order, the offers under each page, and the web
// addresses behind its links. The pictures themselves are resources of the program.
#pragma once

#include <cstddef>
#include <string>

namespace catalogue {

constexpr int kOfferCount = 7;  // offer buttons 1002 to 1008

struct CatalogueOffer {
  const char* caption;
  const char* address;  // the title's download page; empty: no button at this place
};

struct CataloguePage {
  int pictureId;  // GIF resource; 0 ends the table
  CatalogueOffer offers[kOfferCount];
};

// Eight records and the closing one.
extern const CataloguePage kCataloguePages[];
std::size_t CataloguePageRecords();  // the records before the closing one

// Only the first pageCount records can be reached with the navigation buttons.
constexpr int kPageCount = 5;
// The page that carries link strip B (outside the reachable pages in this edition).
constexpr int kHomeLinkPage = 7;

// The software shop's web server that holds the download pages and installers.
extern const char kShopHost[];
// "http://" + host + "/" + link: where a download page's marked image leads.
std::string ShopAddress(const std::string& host, const std::string& link);

// The maker's pages opened by link strip A and the about box, and by link strip B.
extern const char kMakerPageUrl[];
extern const char kMakerHomeUrl[];

}  // namespace catalogue
