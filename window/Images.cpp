#include "window/Images.h"

#include "webtree/NodeImages.h"
#include "window/ImageKeys.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace window {

namespace {

struct Paint {
    char code;
    Rgba colour;
};

// One shared palette keeps the kinds looking like a set. Pure red (255, 0, 0) is left out on purpose: it
// belongs to the "Don't Publish" badge alone, so the badge never blends into a picture.
constexpr std::array Palette = {
    Paint{'.', {0, 0, 0, 0}},         // transparent
    Paint{'K', {36, 36, 40, 255}},    // outline
    Paint{'k', {96, 96, 104, 255}},   // dark grey: text, film
    Paint{'g', {156, 156, 164, 255}}, // grey
    Paint{'w', {214, 214, 220, 255}}, // light grey: shade of paper
    Paint{'W', {255, 255, 255, 255}}, // white
    Paint{'D', {128, 84, 16, 255}},   // folder and scroll outline
    Paint{'Y', {248, 208, 96, 255}},  // manila
    Paint{'y', {216, 164, 52, 255}},  // manila in shade
    Paint{'h', {255, 238, 168, 255}}, // manila highlight
    Paint{'c', {250, 236, 196, 255}}, // parchment, walls
    Paint{'e', {222, 190, 124, 255}}, // parchment in shade
    Paint{'L', {146, 92, 40, 255}},   // wood
    Paint{'r', {198, 74, 42, 255}},   // roof tiles
    Paint{'R', {150, 24, 32, 255}},   // dark red
    Paint{'o', {240, 140, 24, 255}},  // orange
    Paint{'S', {255, 214, 0, 255}},   // sun
    Paint{'G', {64, 172, 64, 255}},   // green
    Paint{'d', {24, 110, 44, 255}},   // dark green
    Paint{'B', {40, 100, 212, 255}},  // blue
    Paint{'b', {120, 170, 240, 255}}, // light blue
    Paint{'C', {172, 216, 250, 255}}, // sky
    Paint{'N', {20, 40, 112, 255}},   // navy
    Paint{'P', {132, 64, 176, 255}},  // purple
};

// 16 rows of 16 palette codes, row 0 at the top.
using Art = std::array<std::string_view, ImageSize>;

struct Drawing {
    std::string_view key;
    Art art;
};

// clang-format off
constexpr std::array Drawings = {
    Drawing{"config", {
        "..KKKKKKKK......",
        "..KWWWWWWKK.....",
        "..KWkkkkWKwK....",
        "..KWWWWWWKwwK...",
        "..KWWWWWWKKKKK..",
        "..KWWWWWkWWWWK..",
        "..KWWkWkkkWkWK..",
        "..KWWWkkkkkWWK..",
        "..KWWkkWWWkkWK..",
        "..KWkkkWWWkkkK..",
        "..KWWkkWWWkkWK..",
        "..KWWWkkkkkWWK..",
        "..KWWkWkkkWkWK..",
        "..KWWWWWkWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KKKKKKKKKKKK..",
    }},
    Drawing{"closed", {
        "................",
        "................",
        ".DDDD...........",
        "DhhhhDDDDDDDDDD.",
        "DYYYYhhhhhhhhhhD",
        "DDDDDDDDDDDDDDDD",
        "DhhhhhhhhhhhhhhD",
        "DYYYYYYYYYYYYYYD",
        "DYYYYYYYYYYYYYYD",
        "DYYYYYYYYYYYYYYD",
        "DYYYYYYYYYYYYYYD",
        "DYYYYYYYYYYYYYYD",
        "DYYYYYYYYYYYYYYD",
        "DyyyyyyyyyyyyyyD",
        "DDDDDDDDDDDDDDDD",
        "................",
    }},
    Drawing{"open", {
        "................",
        "................",
        ".DDDD...........",
        "DyyyyDDDDDDDD...",
        "DyyyyyyyyyyyyD..",
        "DyyWWWWWWWWyyD..",
        "DyyWWWWWWWWyyD..",
        "DyyDDDDDDDDDDDDD",
        "DyyDhhhhhhhhhhhD",
        "DyDYYYYYYYYYYYD.",
        "DyDYYYYYYYYYYYD.",
        "DDYYYYYYYYYYYD..",
        "DDYYYYYYYYYYYD..",
        "DYYYYYYYYYYYD...",
        "DDDDDDDDDDDDD...",
        "................",
    }},
    Drawing{"home", {
        ".......KK.......",
        "......KrrK.KKK..",
        ".....KrrrrKKLK..",
        "....KrrrrrrKLK..",
        "...KrrrrrrrrKK..",
        "..KrrrrrrrrrrK..",
        ".KrrrrrrrrrrrrK.",
        "KKKKKKKKKKKKKKKK",
        "..KccccccccccK..",
        "..KcKKKKcccccK..",
        "..KcKbbKcKKKcK..",
        "..KcKbbKcLLLcK..",
        "..KcKKKKcLLocK..",
        "..KccccccLLLcK..",
        "..KccccccLLLcK..",
        "..KKKKKKKKKKKK..",
    }},
    Drawing{"gif", {
        "................",
        "KKKKKKKKKKKKKKKK",
        "KPPPPPPPPPPPPPPK",
        "KPWWWWWWWWWWWWPK",
        "KPWWooWWWWBBBBPK",
        "KPWooooWWWBBBBPK",
        "KPWooooWWWBBBBPK",
        "KPWWooWWWWBBBBPK",
        "KPWWWWWWGWWWWWPK",
        "KPWWWWWGGGWWWWPK",
        "KPWWWWGGGGGWWWPK",
        "KPWWWGGGGGGGWWPK",
        "KPWWWWWWWWWWWWPK",
        "KPPPPPPPPPPPPPPK",
        "KKKKKKKKKKKKKKKK",
        "................",
    }},
    Drawing{"media", {
        ".KKKKKKKKKKKKKK.",
        ".KkWkkkkkkkkWkK.",
        ".KkkkCCCCCCkkkK.",
        ".KkWkCCCCCCkWkK.",
        ".KkkkCCCCCCkkkK.",
        ".KkWkGGGGGGkWkK.",
        ".KkkkGGGGGGkkkK.",
        ".KkWkkkkkkkkWkK.",
        ".KkkkkkkkkkkkkK.",
        ".KkWkCCCCCCkWkK.",
        ".KkkkCCCCCCkkkK.",
        ".KkWkCCCCCCkWkK.",
        ".KkkkGGGGGGkkkK.",
        ".KkWkGGGGGGkWkK.",
        ".KkkkkkkkkkkkkK.",
        ".KKKKKKKKKKKKKK.",
    }},
    Drawing{"page", {
        "..KKKKKKKK......",
        "..KWWWWWWKK.....",
        "..KWBBBBWKwK....",
        "..KWWWWWWKwwK...",
        "..KWggggWKKKKK..",
        "..KWWWWWWWWWWK..",
        "..KWCCSWggggWK..",
        "..KWCCCWWWWWWK..",
        "..KWGGGWggggWK..",
        "..KWWWWWWWWWWK..",
        "..KWggggggggWK..",
        "..KWWWWWWWWWWK..",
        "..KWBBBBBWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KKKKKKKKKKKK..",
    }},
    Drawing{"script", {
        "................",
        "..DDDDDDDDDDDD..",
        ".DccccccccccccD.",
        ".DeeeeeeeeeeeeD.",
        "..DDDDDDDDDDDD..",
        "...DccccccccD...",
        "...DckkkkkkcD...",
        "...DccccccccD...",
        "...DccBBBBccD...",
        "...DccccccccD...",
        "...DckkkkkccD...",
        "..DDDDDDDDDDDD..",
        ".DccccccccccccD.",
        ".DeeeeeeeeeeeeD.",
        "..DDDDDDDDDDDD..",
        "................",
    }},
    Drawing{"jpg", {
        "................",
        "KKKKKKKKKKKKKKKK",
        "KWWWWWWWWWWWWWWK",
        "KWCCSCCCCCCCCCWK",
        "KWCSSSCCCCCCCCWK",
        "KWCCSCCCCdCCCCWK",
        "KWCCCCCCdGdCCCWK",
        "KWCCCCCdGGGdCCWK",
        "KWCCdCdGGGGGdCWK",
        "KWCdGdGGGGGGGdWK",
        "KWdGGGGGGGGGGGWK",
        "KWGGGGGGGGGGGGWK",
        "KWGGGGGGGGGGGGWK",
        "KWWWWWWWWWWWWWWK",
        "KKKKKKKKKKKKKKKK",
        "................",
    }},
    Drawing{"text", {
        "..KKKKKKKK......",
        "..KWWWWWWKK.....",
        "..KWkkkkWKwK....",
        "..KWWWWWWKwwK...",
        "..KWkkkkWKKKKK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkkkWK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkkWWK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkkkWK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkkkWK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkWWWWK..",
        "..KKKKKKKKKKKK..",
    }},
    Drawing{"unknown", {
        "..KKKKKKKK......",
        "..KWWWWWWKK.....",
        "..KWWWWWWKwK....",
        "..KWWWWWWKwwK...",
        "..KWWWWWWKKKKK..",
        "..KWWWkkkkWWWK..",
        "..KWWkkWWkkWWK..",
        "..KWWWWWWkkWWK..",
        "..KWWWWWkkWWWK..",
        "..KWWWWkkWWWWK..",
        "..KWWWWkkWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWkkWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KKKKKKKKKKKK..",
    }},
    Drawing{"web", {
        ".....NNNNN......",
        "...NNbbCBBNN....",
        "..NbbCbCBCBBN...",
        ".NCCCCCCCCCCCN..",
        ".NbbCBBCBBCBBN..",
        "NbbCBBBCBBBCBBN.",
        "NbbCBBBCBBBCBBN.",
        "NCCCCCCCCCCCCCN.",
        "NBBCBBBCBBBCBBN.",
        "NBBCBBBCBBBCBBN.",
        ".NBBCBBCBBCBBN..",
        ".NCCCCCCCCCCCN..",
        "..NBBCBCBCBBN...",
        "...NNBBCBBNN....",
        ".....NNNNN......",
        "................",
    }},
    Drawing{"winmedia", {
        ".KKKKKKKKKKKKKK.",
        ".KkWkkkkkkkkWkK.",
        ".KkkWkkkkkkkkkK.",
        ".KkWGWkkkkkkWkK.",
        ".KkkWGGWkkkkkkK.",
        ".KkWWGGGWkkkWkK.",
        ".KkkWGGGGWkkkkK.",
        ".KkWWGGGGGWkWkK.",
        ".KkkWGGGGWkkkkK.",
        ".KkWWGGGWkkkWkK.",
        ".KkkWGGWkkkkkkK.",
        ".KkWWGWkkkkkWkK.",
        ".KkkWWkkkkkkkkK.",
        ".KkWkkkkkkkkWkK.",
        ".KkkkkkkkkkkkkK.",
        ".KKKKKKKKKKKKKK.",
    }},
    Drawing{"xml", {
        "..KKKKKKKK......",
        "..KWWWWWWKK.....",
        "..KWWWWWWKwK....",
        "..KWWWWWWKwwK...",
        "..KWWWWWWKKKKK..",
        "..KWWWWWWWWWWK..",
        "..KWWooWWooWWK..",
        "..KWooWWWWooWK..",
        "..KooWWWWWWooK..",
        "..KWooWWWWooWK..",
        "..KWWooWWooWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KKKKKKKKKKKK..",
    }},
};

constexpr Art IconArt = {
    "..NNNNNNNNNNNN..",
    ".NBBBBBBBBBBBBN.",
    "NBBBBBBBBBBBBBBN",
    "NBKKKKKKKKKKKKBN",
    "NBKooWWooWWooKBN",
    "NBKoWWooWWooWKBN",
    "NBKKKKKKKKKKKKBN",
    "NBBBBBBBBBBBBBBN",
    "NBBBBBBWWBBBBBBN",
    "NBBBBBWWWWBBBBBN",
    "NBBBBWWWWWWBBBBN",
    "NBBBWWWWWWWWBBBN",
    "NBBBBBBWWBBBBBBN",
    "NBBBBBBWWBBBBBBN",
    ".NBBBBBWWBBBBBN.",
    "..NNNNNNNNNNNN..",
};
// clang-format on

constexpr const Paint* findPaint(char code) {
    for (const Paint& p : Palette)
        if (p.code == code)
            return &p;
    return nullptr;
}

constexpr bool wellFormed(const Art& art) {
    return std::ranges::all_of(art, [](std::string_view row) {
        return row.size() == ImageSize &&
               std::ranges::all_of(row, [](char c) { return findPaint(c) != nullptr; });
    });
}

using webtree::MarkSuffix;

constexpr std::string_view partnerOf(std::string_view key) {
    return key.ends_with(MarkSuffix) ? key.substr(0, key.size() - MarkSuffix.size()) : key;
}

constexpr const Drawing* findDrawing(std::string_view key) {
    for (const Drawing& d : Drawings)
        if (d.key == key)
            return &d;
    return nullptr;
}

// Each key is drawn once: a marked key by its partner's art, and no drawing is left without a key.
constexpr bool drawingsMatchKeys() {
    for (std::string_view key : ImageKeys)
        if (findDrawing(partnerOf(key)) == nullptr)
            return false;
    for (const Drawing& d : Drawings)
        if (std::ranges::find(ImageKeys, d.key) == ImageKeys.end())
            return false;
    return true;
}

static_assert(std::ranges::all_of(Drawings, [](const Drawing& d) { return wellFormed(d.art); }),
              "every row of every drawing is 16 palette codes");
static_assert(wellFormed(IconArt), "every row of the icon is 16 palette codes");
static_assert(drawingsMatchKeys(), "the drawings and the image keys match one to one");

// The drawing at a side of at least ImageSize. Each picture pixel is taken from the drawing's pixel its
// centre falls in; the right half mirrors the left, so the outline at either end is as thick.
Pixels paint(const Art& art, int size) {
    std::vector<int> from(static_cast<std::size_t>(size));
    for (int x = 0; x < (size + 1) / 2; ++x) {
        from[static_cast<std::size_t>(x)] = (2 * x + 1) * ImageSize / (2 * size);
        from[static_cast<std::size_t>(size - 1 - x)] = ImageSize - 1 - from[static_cast<std::size_t>(x)];
    }
    Pixels pixels(size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            pixels.at(x, y) = findPaint(art[from[y]][from[x]])->colour;
    return pixels;
}

int checkedSize(int size) {
    if (size < ImageSize)
        throw std::out_of_range("no picture is drawn smaller than " + std::to_string(ImageSize) + " pixels");
    return size;
}

} // namespace

int imageSizeAt(int dpi) {
    return std::max(ImageSize, (ImageSize * dpi + 48) / 96);
}

Pixels imagePixels(std::string_view key, int size) {
    if (std::ranges::find(ImageKeys, key) == ImageKeys.end())
        throw std::out_of_range("no image with the key \"" + std::string(key) + "\"");
    Pixels pixels = paint(findDrawing(partnerOf(key))->art, checkedSize(size));
    if (key != partnerOf(key))
        drawNoPublishBadge(pixels);
    return pixels;
}

Pixels windowIcon(int size) {
    return paint(IconArt, checkedSize(size));
}

void drawNoPublishBadge(Pixels& pixels) {
    constexpr Rgba Red{255, 0, 0, 255};
    constexpr Rgba White{255, 255, 255, 255};
    // Measured from the badge's centre to the pixels' centres, in units of half a pixel so they stay whole.
    // The disc fills the square: at 9 pixels it trims three from each corner, enough to read as round. The
    // cross runs along the diagonals, a ninth of the square thick, and stops short of the rim, so a red
    // ring frames it and the badge reads as a "no" sign rather than a star.
    const int side = (9 * pixels.size + 8) / 16;
    const int origin = pixels.size - side;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int dx = 2 * x + 1 - side;
            const int dy = 2 * y + 1 - side;
            if (dx * dx + dy * dy > side * side)
                continue;
            // Within half of a ninth of the side from a diagonal: |dx -/+ dy| / (2 * sqrt 2) <= side / 18.
            const auto nearDiagonal = [side](int d) { return 81 * d * d <= 2 * side * side; };
            const bool onCross = (nearDiagonal(dx - dy) || nearDiagonal(dx + dy)) &&
                                 9 * std::max(std::abs(dx), std::abs(dy)) <= 4 * side + 9;
            pixels.at(origin + x, origin + y) = onCross ? White : Red;
        }
    }
}

} // namespace window
