#include "catalogue/catalogue_content.h"

namespace catalogue {

const char kShopHost[] = "dl.hoshizora-softmall.example";
const char kMakerPageUrl[] = "http://www.hoshirai.example/catalogue/";
const char kMakerHomeUrl[] = "http://www.hoshirai.example/";

namespace {
#define SHOP "http://dl.hoshizora-softmall.example/"
constexpr CatalogueOffer kNone = {"", ""};
}  // namespace

// The download pages live on the shop's server (kShopHost above).
const CataloguePage kCataloguePages[] = {
    {137, {{"ダウンロード", SHOP "soft/zellora.html"}, kNone, kNone, kNone, kNone, kNone, kNone}},
    {140, {{"ダウンロード", SHOP "soft/zellmate.html"}, kNone, kNone, kNone, kNone, kNone, kNone}},
    {138, {{"ダウンロード", SHOP "soft/hoshizora_clock.html"}, kNone, kNone, kNone, kNone, kNone, kNone}},
    {139,
     {{"ぽけメモ", SHOP "soft/pocket_memo.html"},
      {"クリップ", SHOP "soft/clip_box.html"},
      {"まる圧縮", SHOP "soft/marugoto_zip.html"},
      {"タイマー", SHOP "soft/timer_kun.html"},
      {"フォント", SHOP "soft/font_mihon.html"},
      {"リネーム", SHOP "soft/kantan_rename.html"},
      kNone}},
    {149, {{"ダウンロード", SHOP "soft/poston.html"}, kNone, kNone, kNone, kNone, kNone, kNone}},
    {142, {{"ダウンロード", SHOP "soft/hoshinarabe.html"}, kNone, kNone, kNone, kNone, kNone, kNone}},
    {141, {{"ダウンロード", SHOP "soft/hoshizora_wall.html"}, kNone, kNone, kNone, kNone, kNone, kNone}},
    {143, {{"ダウンロード", SHOP "soft/hoshirai_update.html"}, kNone, kNone, kNone, kNone, kNone, kNone}},
    {0, {kNone, kNone, kNone, kNone, kNone, kNone, kNone}},
};
#undef SHOP

std::size_t CataloguePageRecords() {
  std::size_t n = 0;
  while (kCataloguePages[n].pictureId != 0) ++n;
  return n;
}

std::string ShopAddress(const std::string& host, const std::string& link) {
  return "http://" + host + "/" + link;
}

}  // namespace catalogue
