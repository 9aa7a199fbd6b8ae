#include "ontology_builder.h"

#include <array>
#include <limits>
#include <map>
#include <string_view>
#include <unordered_set>

#include "code_page.h"
#include "ontology_report.h"
#include "ontology_tables.h"

namespace velmora::cli {

using store::TDataModule1;
using store::TDateTime;
using store::TOntology;
using store::TTable;
using store::TValue;

namespace {

std::string Sjis(std::string_view utf8) {
    return store::Utf8ToCp932(utf8);
}

// SplitMix64: small, fast and the same on every platform, so a seed always gives the same file.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n). REQUIRES: n > 0.
    std::uint32_t Below(std::uint32_t n) {
        return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32);
    }
    // True with probability percent / 100.
    bool Percent(std::uint32_t percent) { return Below(100) < percent; }

private:
    std::uint64_t m_state;
};

// Every word is two characters, four bytes in code page 932, so that a title "word word
// number" always fits the 20 bytes of a label.
constexpr std::array<std::string_view, 40> kModifiers = {
    "赤い", "青い", "白い", "黒い", "大型", "小型", "古代", "現代", "野生", "高級",
    "家庭", "伝統", "新型", "北方", "南方", "東洋", "西洋", "山地", "海洋", "都市",
    "農業", "工業", "医療", "教育", "季節", "春の", "夏の", "秋の", "冬の", "甘い",
    "辛い", "丸い", "長い", "短い", "軽量", "重量", "電子", "国産", "輸入", "地方"};
constexpr std::array<std::string_view, 40> kNouns = {
    "果物", "野菜", "動物", "植物", "鳥類", "魚類", "昆虫", "建物", "道具", "楽器",
    "料理", "菓子", "飲料", "衣服", "家具", "車両", "船舶", "機械", "部品", "材料",
    "鉱物", "薬品", "書籍", "言語", "音楽", "絵画", "競技", "職業", "制度", "組織",
    "地域", "河川", "山岳", "気候", "病気", "器官", "細胞", "分子", "技術", "規格"};

constexpr int kMaxDepth = 15;
constexpr int kWideLevels = 3;
// Link codes of the mirror images: mostly the plain subconcept relation.
constexpr std::array<std::int32_t, 10> kMirrorCodes = {1, 1, 1, 1, 1, 1, 2, 3, 4, 5};

}  // namespace

TGenerateStats GenerateOntology(TDataModule1& store, TOntology& ontology,
                                const store::TStoreContext& context,
                                const TGenerateOptions& options) {
    const std::string count = std::to_string(options.Concepts);
    store::TWizardFields fields;
    fields.Target = Sjis("生成データ");
    fields.Title = Sjis("生成オントロジー(" + count + " 概念)");
    fields.Community = Sjis("性能測定と動作確認の担当者.");
    fields.Description =
        Sjis("乱数の種 " + std::to_string(options.Seed) + " から生成した " + count +
             " 概念の合成オントロジー.\r\n" + "概念名と言語ラベルは語の組み合わせと番号です.");
    fields.Creator = context.UserName();
    const std::int32_t top = store::BuildWizardOntology(store, ontology, fields, context.Now());

    TTable& concepts = store.DtStOriginalConcepts;
    TTable& network = store.DtStOriginalNetWork;
    TTable& terms = store.DtStOriginalTerms;
    TTable& assocs = store.DtStOriginalAssociation;
    const std::string editor = context.UserName();
    const std::string descrDefault = context.ConceptDescrDefault();
    const std::string commentDefault = context.ConceptCommentDefault();

    const auto total = static_cast<std::size_t>(options.Concepts) + 1;
    std::vector<std::int32_t> parentOf(total + 1, 0);
    std::vector<std::uint8_t> depth(total + 1, 0);
    std::vector<std::int32_t> items(total + 1, 0);  // items placed so far under each concept
    // Each concept once, plus once more per child: a uniform pick from it prefers concepts in
    // proportion to their children (preferential attachment).
    std::vector<std::int32_t> pool{top};
    pool.reserve(2 * total);
    std::vector<std::int32_t> hubs;
    std::array<std::int32_t, kNouns.size()> sharedTerm{};
    TRandom random(options.Seed);

    TGenerateStats stats;
    stats.Labels = terms.RecordCount();
    stats.Associations = assocs.RecordCount();
    std::vector<TValue> row(12);
    // Converted once: the loop below runs a million times.
    std::vector<std::string> modifiers;
    std::vector<std::string> nouns;
    for (std::string_view word : kModifiers) {
        modifiers.push_back(Sjis(word));
    }
    for (std::string_view word : kNouns) {
        nouns.push_back(Sjis(word));
    }
    const std::string aboutText = Sjis("に関する概念.");
    const std::string depthText = Sjis("\r\n階層の深さ ");
    const std::string commentText = Sjis("自動生成された概念.");
    std::int32_t last = top;
    for (std::int32_t made = 1; made < options.Concepts; ++made) {
        const std::int32_t no = concepts.AutoIncValue();
        // Most concepts go where the hierarchy is already busy; some continue a recent branch,
        // which makes deep chains; a few fill the wide levels.
        std::int32_t parent = 0;
        if (!hubs.empty() && random.Percent(6)) {
            parent = hubs[random.Below(static_cast<std::uint32_t>(hubs.size()))];
        } else if (random.Percent(25)) {
            parent = no - 1 -
                     static_cast<std::int32_t>(
                         random.Below(static_cast<std::uint32_t>(std::min(no - 1, 32))));
        } else {
            parent = pool[random.Below(static_cast<std::uint32_t>(pool.size()))];
        }
        while (depth[parent] >= kMaxDepth) {
            parent = parentOf[parent];
        }
        parentOf[no] = parent;
        depth[no] = static_cast<std::uint8_t>(depth[parent] + 1);
        pool.push_back(parent);
        pool.push_back(no);
        if (static_cast<int>(hubs.size()) < kWideLevels &&
            depth[no] == 1 + 2 * static_cast<int>(hubs.size())) {
            hubs.push_back(no);
        }

        const std::size_t noun = random.Below(kNouns.size());
        const std::string phrase = modifiers[random.Below(kModifiers.size())] + nouns[noun];
        const std::string title = phrase + " " + std::to_string(no);
        const TDateTime now = context.Now();
        std::string description = descrDefault;
        if (no % 3 == 0) {
            description = phrase + aboutText;
            if (no % 9 == 0) {
                description += depthText + std::to_string(depth[no]) + ".";
            }
        }
        row[0] = std::monostate{};
        row[1] = title;
        row[2] = store::ConceptIdentifier(no, title);
        row[3] = description;
        row[4] = no % 10 == 0 ? commentText : commentDefault;
        row[5] = parent;
        row[6] = ++items[parent];
        row[7] = store::kNotPlaced;
        row[8] = store::kNotPlaced;
        row[9] = now;
        row[10] = now;
        row[11] = editor;
        concepts.AppendRecord(row);

        // The title is unique (it holds the number), so its label is a new one; the shared
        // labels are the bare nouns.
        const std::int32_t term = terms.AutoIncValue();
        terms.AppendRecord({std::monostate{}, title, std::monostate{}});
        assocs.AppendRecord({std::monostate{}, no, term, std::monostate{}});
        stats.Labels += 1;
        stats.Associations += 1;
        if (random.Percent(15)) {
            if (sharedTerm[noun] == 0) {
                sharedTerm[noun] = terms.AutoIncValue();
                terms.AppendRecord({std::monostate{}, nouns[noun], std::monostate{}});
                stats.Labels += 1;
            }
            assocs.AppendRecord({std::monostate{}, no, sharedTerm[noun], std::monostate{}});
            stats.Associations += 1;
        }
        last = no;
    }

    // Mirror images show a concept under a further parent with a smaller number than its own,
    // never at its own place and never twice under the same parent.
    const std::int32_t mirrors = last >= 3 ? (last - top + 1) / 50 : 0;
    std::unordered_set<std::uint64_t> placed;
    placed.reserve(static_cast<std::size_t>(mirrors) * 2);
    for (std::int32_t k = 0; k < mirrors; ++k) {
        const std::int32_t to =
            3 + static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(last - 2)));
        std::int32_t from = 0;
        std::uint64_t key = 0;
        do {
            from = 1 + static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(to - 1)));
            key = (static_cast<std::uint64_t>(from) << 32) | static_cast<std::uint32_t>(to);
        } while (from == parentOf[to] || placed.count(key) != 0);
        placed.insert(key);
        network.AppendRecord({std::monostate{}, from, to, ++items[from],
                              kMirrorCodes[random.Below(kMirrorCodes.size())], store::kNotPlaced,
                              store::kNotPlaced});
    }

    stats.Concepts = concepts.RecordCount();
    stats.MirrorImages = mirrors;
    for (std::size_t no = 1; no <= static_cast<std::size_t>(last); ++no) {
        stats.MaxDepth = std::max<int>(stats.MaxDepth, depth[no]);
        stats.WidestLevel = std::max(stats.WidestLevel, items[no]);
    }
    // No save point refers to freshly built tables.
    store.MergeChangeLogs();
    store.AttachTables();
    return stats;
}

void BuildSampleOntology(TDataModule1& store, TOntology& ontology, TDateTime now) {
    store::TWizardFields fields;
    fields.Target = Sjis("食品");
    fields.Title = Sjis("食品オントロジー");
    fields.Community = Sjis("食品の専門家.\r\n栄養士、調理師、食品の流通に携わる人.");
    fields.Description = Sjis(
        "食品に関するオントロジー.\r\n食材を七つの分類に分け、"
        "原料となる食材を鏡像で示した見本.");
    fields.Creator = Sjis("無記名");
    fields.SubCategories = {Sjis("穀物"),   Sjis("野菜"),   Sjis("果物"),  Sjis("肉類"),
                            Sjis("魚介類"), Sjis("乳製品"), Sjis("調味料")};
    const std::int32_t top = store::BuildWizardOntology(store, ontology, fields, now);

    // The user has arranged every level: LIST_ORDER 1, 2, 3, ... in the order of creation,
    // mirror images after the concepts of their level.
    std::map<std::int32_t, std::int32_t> placedItems;
    std::map<std::string, std::int32_t> byTitle;
    TTable& concepts = store.DtStOriginalConcepts;
    const auto place = [&](std::int32_t no, std::int32_t parent) {
        concepts.Locate(store::kFieldRecordNo, TValue(no));
        concepts.Edit();
        concepts.FieldByName(store::kFieldListOrder).SetAsInteger(++placedItems[parent]);
        concepts.Post();
    };
    for (concepts.First(); !concepts.Eof(); concepts.Next()) {
        byTitle[store::Cp932ToUtf8(concepts.FieldByName(store::kFieldTitle).AsString())] =
            concepts.FieldByName(store::kFieldRecordNo).AsInteger();
    }
    for (const std::string& sub : fields.SubCategories) {
        place(byTitle.at(store::Cp932ToUtf8(sub)), top);
    }

    struct TEntry {
        std::string_view Title;
        std::string_view Parent;
        std::vector<std::string_view> MoreLabels;
        std::string_view Description;
    };
    const std::vector<TEntry> entries = {
        {"米", "穀物", {}, "稲の種子. 日本の主食."},
        {"うるち米", "米", {"米"}, "普段炊いて食べる米."},
        {"もち米", "米", {"米"}, "もちや赤飯に使う粘りの強い米."},
        {"玄米", "米", {"米"}, "もみ殻だけを除いた米."},
        {"小麦", "穀物", {}, "パンや麺の原料."},
        {"大麦", "穀物", {}, ""},
        {"そば", "穀物", {"蕎麦"}, ""},
        {"豆類", "穀物", {}, "豆を食用とする作物."},
        {"大豆", "豆類", {"豆"}, "しょうゆやみその原料."},
        {"小豆", "豆類", {"豆"}, "あんの原料."},
        {"葉菜類", "野菜", {}, "葉を食べる野菜."},
        {"キャベツ", "葉菜類", {}, ""},
        {"ほうれん草", "葉菜類", {"菠薐草"}, ""},
        {"レタス", "葉菜類", {}, ""},
        {"根菜類", "野菜", {}, "根や地下茎を食べる野菜."},
        {"大根", "根菜類", {}, ""},
        {"にんじん", "根菜類", {"人参"}, ""},
        {"ごぼう", "根菜類", {"牛蒡"}, ""},
        {"果菜類", "野菜", {}, "実を食べる野菜."},
        {"トマト", "果菜類", {}, "果物として扱われることもある."},
        {"なす", "果菜類", {"茄子"}, ""},
        {"きゅうり", "果菜類", {"胡瓜"}, ""},
        {"りんご", "果物", {"林檎"}, ""},
        {"みかん", "果物", {"蜜柑"}, ""},
        {"ぶどう", "果物", {"葡萄"}, ""},
        {"いちご", "果物", {"苺"}, "園芸では果菜類に分類される."},
        {"バナナ", "果物", {}, ""},
        {"もも", "果物", {"桃"}, ""},
        {"牛肉", "肉類", {}, ""},
        {"豚肉", "肉類", {}, ""},
        {"鶏肉", "肉類", {}, ""},
        {"羊肉", "肉類", {}, ""},
        {"魚類", "魚介類", {}, ""},
        {"まぐろ", "魚類", {"鮪"}, ""},
        {"さけ", "魚類", {"鮭", "しゃけ"}, ""},
        {"さば", "魚類", {"鯖"}, ""},
        {"貝類", "魚介類", {}, ""},
        {"あさり", "貝類", {}, ""},
        {"ほたて", "貝類", {"帆立"}, ""},
        {"甲殻類", "魚介類", {}, ""},
        {"えび", "甲殻類", {"海老"}, ""},
        {"かに", "甲殻類", {"蟹"}, ""},
        {"牛乳", "乳製品", {}, "チーズやバターの原料."},
        {"チーズ", "乳製品", {}, ""},
        {"バター", "乳製品", {}, ""},
        {"ヨーグルト", "乳製品", {}, ""},
        {"しょうゆ", "調味料", {"醤油"}, "大豆と小麦から造る."},
        {"みそ", "調味料", {"味噌"}, "大豆から造る."},
        {"塩", "調味料", {}, ""},
        {"砂糖", "調味料", {}, ""},
        {"酢", "調味料", {}, ""},
        {"みりん", "調味料", {}, ""},
    };
    for (const TEntry& e : entries) {
        const std::string title = Sjis(e.Title);
        const std::int32_t parent = byTitle.at(std::string(e.Parent));
        const std::int32_t no = store.AppendConcept(title, parent, title);
        byTitle[std::string(e.Title)] = no;
        for (std::string_view label : e.MoreLabels) {
            store.AddTermToConcept(no, Sjis(label));
        }
        place(no, parent);
        if (!e.Description.empty()) {
            concepts.Edit();
            concepts.FieldByName(store::kFieldDescription).SetAsString(Sjis(e.Description));
            concepts.Post();
        }
    }

    // Relation 2 says that the concept shown is a raw material of the place.
    TTable& linkTypes = store.DtStOriginalLinkType;
    linkTypes.Locate(store::kFieldLinkCode, TValue(2));
    linkTypes.Edit();
    linkTypes.FieldByName(store::kFieldLinkTitle).SetAsString(Sjis("原料"));
    linkTypes.FieldByName(store::kFieldComment).SetAsString(Sjis("上位概念の原料となる食材."));
    linkTypes.Post();

    struct TMirror {
        std::string_view Shown;
        std::string_view Place;
        std::int32_t LinkCode;
    };
    const std::array<TMirror, 5> mirrors = {{{"トマト", "果物", 1},
                                             {"いちご", "果菜類", 1},
                                             {"大豆", "しょうゆ", 2},
                                             {"大豆", "みそ", 2},
                                             {"牛乳", "チーズ", 2}}};
    TTable& network = store.DtStOriginalNetWork;
    for (const TMirror& m : mirrors) {
        store::TConceptData item;
        item.SetConceptNo(byTitle.at(std::string(m.Shown)));
        const std::int32_t link = store.AppendMirrorImage(item, m.LinkCode);
        const std::int32_t placeNo = byTitle.at(std::string(m.Place));
        network.Locate(store::kFieldRecordNo, TValue(link));
        network.Edit();
        network.FieldByName(store::kFieldRecordNoFrom).SetAsInteger(placeNo);
        network.FieldByName(store::kFieldListOrder).SetAsInteger(++placedItems[placeNo]);
        network.Post();
    }
    // No save point refers to freshly built tables.
    store.MergeChangeLogs();
    store.AttachTables();
}

}  // namespace velmora::cli
