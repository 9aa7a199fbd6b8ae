#include "rdf_import.h"

#include <raptor2.h>

#include <algorithm>
#include <charconv>
#include <deque>
#include <exception>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "code_page.h"
#include "ontology_properties.h"
#include "ontology_tables.h"
#include "rdf_raptor.h"
#include "rdf_vocabulary.h"

namespace velmora::exchange {

namespace {

namespace v = rdf;
using store::TTable;
using store::TValue;

constexpr std::size_t kTextWidth = 255;  // TITLE, IDENTIFIER, EDITOR, LINK_TITLE, COMMENT
constexpr std::int32_t kHighestNumber = 2'000'000'000;

struct TStringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using TStringIndex = std::unordered_map<std::string, int, TStringHash, std::equal_to<>>;

enum class TPredicate : std::uint8_t {
    Other,
    Type,
    PrefLabel,
    AltLabel,
    Definition,
    Note,
    Broader,
    Narrower,
    Related,
    RdfsLabel,
    RdfsComment,
    SubClassOf,
    SubPropertyOf,
    OnProperty,
    SomeValuesFrom,
    DcTitle,
    DcDescription,
    DcCreator,
    DcSubject,
    DcAudience,
    DcCreated,
    DcModified,
    DcContributor,
    DcIdentifier,
    Synonym,
    // The base IRI's namespace.
    OwnListOrder,
    OwnIconPosX,
    OwnIconPosY,
    OwnWithoutTitleLabel,
    OwnMirrorOf,
    OwnShownUnder,
    OwnLinkCode,
    OwnDescrDefault,
    OwnCommentDefault,
    OwnNextConceptNumber,
    OwnNextMirrorImageNumber,
};

bool IsOwn(TPredicate p) {
    return p >= TPredicate::OwnListOrder;
}

enum TNodeFlag : std::uint16_t {
    kSkosConcept = 1,
    kOwlClass = 2,
    kScheme = 4,  // skos:ConceptScheme or owl:Ontology
    kRestriction = 8,
    kMirrorRecord = 16,
    kProperty = 32,  // rdf:Property, owl:ObjectProperty
    kRelatedSub = 64,
    kBroaderSub = 128,
    kBlank = 256,
    kOwlThing = 512,
    kMirrorClass = 1024,  // typed owl:Class by the export, not a concept
};

// A text in the language asked for wins over one without a tag, which wins over any other.
struct TRankedText {
    std::string Text;
    int Rank = 99;
};

// What a scheme (or ontology) carries and a concept does not, kept apart so that the details
// of a million concepts stay small.
struct TSchemeDetails {
    TRankedText Title;  // dcterms:title
    TRankedText Subject;
    TRankedText Audience;
    TRankedText DescrDefault;
    TRankedText CommentDefault;
    std::string Creator;
    // The record counters.
    std::optional<std::int32_t> NextConceptNumber;
    std::optional<std::int32_t> NextMirrorImageNumber;
};

struct TDetails {
    std::vector<TRankedText> Prefs;  // prefLabel (SKOS) or rdfs:label (OWL)
    std::vector<std::string> Labels;
    TRankedText RdfsLabel;  // SKOS: a fallback title; for properties their label
    TRankedText Description;
    TRankedText Comment;
    std::string Identifier;
    std::string Editor;
    std::string Created;
    std::string Modified;
    std::unique_ptr<TSchemeDetails> Scheme;  // made by the first scheme annotation
    std::optional<std::int32_t> ListOrder;
    std::optional<std::int32_t> IconX;
    std::optional<std::int32_t> IconY;
    std::int32_t LinkCode = 0;
    int MirrorOf = -1;
    int ShownUnder = -1;
    bool WithoutTitleLabel = false;

    TSchemeDetails& SchemeDetails() {
        if (!Scheme) {
            Scheme = std::make_unique<TSchemeDetails>();
        }
        return *Scheme;
    }
};

struct TNode {
    const std::string* Iri = nullptr;  // the key in the node index ("_:" + id for a blank)
    std::uint16_t Flags = 0;
    int OwnNamespace = -1;  // the namespace of its first own-namespace annotation
    int OnProperty = -1;
    int SomeValuesFrom = -1;
    int Details = -1;
};

// A hierarchy or relation statement in document order: child under parent; Property -1 is the
// hierarchy (broader, narrower turned round, subClassOf), else the predicate's node.
struct TEdge {
    int Child;
    int Parent;
    int Property;
};

std::string_view TermText(const raptor_term* term) {
    switch (term->type) {
        case RAPTOR_TERM_TYPE_URI: {
            std::size_t length = 0;
            const unsigned char* text = raptor_uri_as_counted_string(term->value.uri, &length);
            return {reinterpret_cast<const char*>(text), length};
        }
        case RAPTOR_TERM_TYPE_BLANK:
            return {reinterpret_cast<const char*>(term->value.blank.string),
                    term->value.blank.string_len};
        case RAPTOR_TERM_TYPE_LITERAL:
            return {reinterpret_cast<const char*>(term->value.literal.string),
                    term->value.literal.string_len};
        case RAPTOR_TERM_TYPE_UNKNOWN:
            break;
    }
    return {};
}

std::string_view LocalName(std::string_view iri) {
    const std::size_t cut = iri.find_last_of("#/");
    return cut == std::string_view::npos ? iri.substr(iri.rfind(':') + 1) : iri.substr(cut + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    std::int32_t value = 0;
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A record number written as decimal digits without a leading zero.
std::optional<std::int32_t> ParseNumberName(std::string_view text) {
    if (text.empty() || text.size() > 10 || text.front() == '0') {
        return std::nullopt;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    const auto value = ParseInteger(text);
    if (!value || *value < 1 || *value > kHighestNumber) {
        return std::nullopt;
    }
    return value;
}

// xsd:dateTime or xsd:date; a zone is ignored (the tables keep local time).
std::optional<store::TDateTime> ParseDateTime(std::string_view text) {
    const auto digits = [&](std::size_t at, std::size_t n) -> std::optional<int> {
        if (at + n > text.size()) {
            return std::nullopt;
        }
        int value = 0;
        for (std::size_t i = at; i < at + n; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return std::nullopt;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    store::TCivilTime c;
    const auto year = digits(0, 4);
    const auto month = digits(5, 2);
    const auto day = digits(8, 2);
    if (!year || !month || !day || text.size() < 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    c.Year = *year;
    c.Month = *month;
    c.Day = *day;
    if (text.size() > 10 && text[10] == 'T') {
        const auto hour = digits(11, 2);
        const auto minute = digits(14, 2);
        const auto second = digits(17, 2);
        if (!hour || !minute || !second || text[13] != ':' || text[16] != ':') {
            return std::nullopt;
        }
        c.Hour = *hour;
        c.Minute = *minute;
        c.Second = *second;
        if (text.size() > 20 && text[19] == '.') {
            int ms = 0;
            int scale = 100;
            for (std::size_t i = 20; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
                ms += (text[i] - '0') * scale;
                scale /= 10;
            }
            c.Millisecond = ms;
        }
    }
    const bool leap = (c.Year % 4 == 0 && c.Year % 100 != 0) || c.Year % 400 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (c.Year < 1 || c.Month < 1 || c.Month > 12 || c.Day < 1 ||
        c.Day > kDays[c.Month - 1] + (c.Month == 2 && leap ? 1 : 0) || c.Hour > 23 ||
        c.Minute > 59 || c.Second > 59) {
        return std::nullopt;
    }
    return store::TDateTime::FromCivil(c);
}

std::string FileUri(const std::string& name) {
    std::string uri = "file:///";
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::string_view("-._~/").find(ch) != std::string_view::npos) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

}  // namespace

std::string DetectRdfSyntax(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        head.remove_prefix(3);
    }
    const std::size_t start = head.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return "turtle";
    }
    head.remove_prefix(start);
    if (head.front() == '<') {
        // An XML start tag holds a blank or "=" before its ">"; an IRI never does.
        if (head.size() > 1 && (head[1] == '?' || head[1] == '!')) {
            return "rdfxml";
        }
        const std::size_t close = head.find('>');
        const std::string_view tag = head.substr(0, close);
        if (tag.find_first_of(" \t\r\n=") != std::string_view::npos) {
            return "rdfxml";
        }
        // "<rdf:RDF/>" alone, an empty document; an IRI ending in "/" is followed by a predicate.
        if (close != std::string_view::npos && tag.back() == '/') {
            const std::size_t next = head.find_first_not_of(" \t\r\n", close + 1);
            if (next == std::string_view::npos || (head[next] != '<' && head[next] != '_')) {
                return "rdfxml";
            }
        }
    }
    // N-Triples when every whole line of the head is a comment or one triple: a subject in
    // <> or _: and a final ".". Turtle reads N-Triples too, but only the N-Triples reader
    // streams; a file that turns to Turtle after the head stops with the line.
    std::size_t lines = 0;
    std::size_t at = 0;
    while (true) {
        const std::size_t end = head.find('\n', at);
        if (end == std::string_view::npos) {
            break;
        }
        std::string_view line = head.substr(at, end - at);
        at = end + 1;
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') {
            continue;
        }
        line.remove_prefix(first);
        const std::size_t last = line.find_last_not_of(" \t\r");
        line = line.substr(0, last + 1);
        if (!(line.front() == '<' || line.substr(0, 2) == "_:") || line.back() != '.') {
            return "turtle";
        }
        ++lines;
    }
    return lines > 0 ? "ntriples" : "turtle";
}

struct TRdfImport::TState {
    store::TDataModule1& Store;
    store::TOntology& Ontology;
    const store::TStoreContext& Context;
    TRdfImportOptions Options;
    std::string Name;
    TRaptorWorld World;
    raptor_parser* Parser = nullptr;
    std::string Syntax;
    std::string Head;  // the first bytes, kept until the syntax is known
    bool Started = false;
    std::exception_ptr Failure;

    TStringIndex NodeIndex;
    std::vector<TNode> Nodes;
    std::deque<TDetails> Details;  // grows without moving (or copying twice) what it holds
    TStringIndex Namespaces;
    std::vector<std::string> NamespaceNames;
    std::unordered_map<std::string, TPredicate, TStringHash, std::equal_to<>> Predicates;
    std::vector<TEdge> Edges;
    std::size_t Statements = 0;
    std::size_t Fed = 0;
    static constexpr std::size_t kTurtleLimit = std::size_t{1} << 30;  // Turtle only

    TRdfImportResult Result;

    TState(store::TDataModule1& store, store::TOntology& ontology,
           const store::TStoreContext& context, const TRdfImportOptions& options, std::string name)
        : Store(store),
          Ontology(ontology),
          Context(context),
          Options(options),
          Name(std::move(name)) {}
    ~TState() {
        if (Parser != nullptr) {
            raptor_free_parser(Parser);
        }
    }
    TState(const TState&) = delete;
    TState& operator=(const TState&) = delete;

    bool Owl() const { return Options.Vocabulary == TRdfVocabulary::Owl; }

    [[noreturn]] void ParseFailure() {
        int line = World.ErrorLine();
        if (line == 0 && Parser != nullptr) {
            // The message names no place: the parser's own position is where it stopped.
            const raptor_locator* where = raptor_parser_get_locator(Parser);
            line = where != nullptr && where->line > 0 ? where->line : 0;
        }
        std::string message = World.TakeMessage();
        std::string text = Name + ": ";
        if (line > 0) {
            text += std::to_string(line) + " 行目: ";
        }
        throw ERdfError(text + "RDF (" + Syntax + ") として読めません: " + message, line);
    }

    void Start() {
        Syntax = DetectRdfSyntax(Head);
        Result.Syntax = Syntax;
        // N-Triples goes to its own reader, which streams; the Turtle reader keeps the text.
        Parser = raptor_new_parser(World.World(), Syntax.c_str());
        if (Parser == nullptr) {
            throw ERdfError("RDF の読み込みを準備できません.");
        }
        // A document must not make the reader fetch anything.
        raptor_parser_set_option(Parser, RAPTOR_OPTION_NO_NET, nullptr, 1);
        raptor_parser_set_option(Parser, RAPTOR_OPTION_NO_FILE, nullptr, 1);
        raptor_parser_set_option(Parser, RAPTOR_OPTION_LOAD_EXTERNAL_ENTITIES, nullptr, 0);
        raptor_parser_set_statement_handler(Parser, this, &TState::OnStatement);
        TRaptorUri base(World, FileUri(Name));
        if (raptor_parser_parse_start(Parser, base.Get()) != 0) {
            ParseFailure();
        }
        Started = true;
    }

    void Parse(std::string_view chunk, bool end) {
        const int failed =
            raptor_parser_parse_chunk(Parser, reinterpret_cast<const unsigned char*>(chunk.data()),
                                      chunk.size(), end ? 1 : 0);
        if (Failure) {
            std::rethrow_exception(std::exchange(Failure, nullptr));
        }
        if (failed != 0 || World.HasError()) {
            ParseFailure();
        }
    }

    void Feed(std::string_view chunk) {
        // Raptor's Turtle reader keeps the whole text and crashes beyond 2 GiB; stop well
        // before. RDF/XML and N-Triples are read as they come.
        Fed += chunk.size();
        if (Started && Syntax == "turtle" && Fed > kTurtleLimit) {
            throw ERdfError(Name +
                            ": Turtle のファイルは 1 GiB までしか読めません. "
                            "RDF/XML か N-Triples で書き出したものを読み込んでください.");
        }
        if (Started) {
            Parse(chunk, false);
            return;
        }
        Head.append(chunk);
        if (Head.size() >= 8192) {
            Start();
            Parse(std::exchange(Head, std::string()), false);
        }
    }

    void End() {
        if (!Started) {
            Start();
            Parse(std::exchange(Head, std::string()), true);
        } else {
            Parse({}, true);
        }
    }

    // --- Statements

    static void OnStatement(void* context, raptor_statement* statement) {
        auto& self = *static_cast<TState*>(context);
        if (self.Failure) {
            return;
        }
        try {
            self.Take(*statement);
        } catch (...) {
            self.Failure = std::current_exception();
            raptor_parser_parse_abort(self.Parser);
        }
    }

    int Node(const raptor_term* term) {
        std::string_view text = TermText(term);
        std::string blank;
        if (term->type == RAPTOR_TERM_TYPE_BLANK) {
            blank = "_:" + std::string(text);
            text = blank;
        }
        const auto found = NodeIndex.find(text);
        if (found != NodeIndex.end()) {
            return found->second;
        }
        const int id = static_cast<int>(Nodes.size());
        const auto inserted = NodeIndex.emplace(std::string(text), id).first;
        TNode node;
        node.Iri = &inserted->first;
        if (term->type == RAPTOR_TERM_TYPE_BLANK) {
            node.Flags |= kBlank;
        }
        Nodes.push_back(node);
        return id;
    }

    TDetails& DetailsOf(int node) {
        if (Nodes[node].Details < 0) {
            Nodes[node].Details = static_cast<int>(Details.size());
            Details.emplace_back();
        }
        return Details[Nodes[node].Details];
    }

    int Namespace(std::string_view iri) {
        const std::string_view ns = iri.substr(0, iri.size() - LocalName(iri).size());
        const auto found = Namespaces.find(ns);
        if (found != Namespaces.end()) {
            return found->second;
        }
        const int id = static_cast<int>(NamespaceNames.size());
        Namespaces.emplace(std::string(ns), id);
        NamespaceNames.emplace_back(ns);
        return id;
    }

    TPredicate Classify(std::string_view iri) {
        const auto found = Predicates.find(iri);
        if (found != Predicates.end()) {
            return found->second;
        }
        const std::string_view local = LocalName(iri);
        const std::string_view ns = iri.substr(0, iri.size() - local.size());
        TPredicate p = TPredicate::Other;
        static const std::map<std::pair<std::string_view, std::string_view>, TPredicate> known = {
            {{v::kRdf, "type"}, TPredicate::Type},
            {{v::kSkos, "prefLabel"}, TPredicate::PrefLabel},
            {{v::kSkos, "altLabel"}, TPredicate::AltLabel},
            {{v::kSkos, "definition"}, TPredicate::Definition},
            {{v::kSkos, "note"}, TPredicate::Note},
            {{v::kSkos, "scopeNote"}, TPredicate::Note},
            {{v::kSkos, "broader"}, TPredicate::Broader},
            {{v::kSkos, "narrower"}, TPredicate::Narrower},
            {{v::kSkos, "related"}, TPredicate::Related},
            {{v::kRdfs, "label"}, TPredicate::RdfsLabel},
            {{v::kRdfs, "comment"}, TPredicate::RdfsComment},
            {{v::kRdfs, "subClassOf"}, TPredicate::SubClassOf},
            {{v::kRdfs, "subPropertyOf"}, TPredicate::SubPropertyOf},
            {{v::kOwl, "onProperty"}, TPredicate::OnProperty},
            {{v::kOwl, "someValuesFrom"}, TPredicate::SomeValuesFrom},
            {{v::kObo, "IAO_0000115"}, TPredicate::Definition},
            {{v::kOboInOwl, "hasExactSynonym"}, TPredicate::Synonym},
            {{v::kOboInOwl, "hasRelatedSynonym"}, TPredicate::Synonym},
            {{v::kOboInOwl, "hasBroadSynonym"}, TPredicate::Synonym},
            {{v::kOboInOwl, "hasNarrowSynonym"}, TPredicate::Synonym},
        };
        if (const auto k = known.find({ns, local}); k != known.end()) {
            p = k->second;
        } else if (ns == v::kDcterms || ns == v::kDcElements) {
            static const std::map<std::string_view, TPredicate> dc = {
                {"title", TPredicate::DcTitle},
                {"description", TPredicate::DcDescription},
                {"creator", TPredicate::DcCreator},
                {"subject", TPredicate::DcSubject},
                {"audience", TPredicate::DcAudience},
                {"created", TPredicate::DcCreated},
                {"modified", TPredicate::DcModified},
                {"contributor", TPredicate::DcContributor},
                {"identifier", TPredicate::DcIdentifier},
            };
            if (const auto d = dc.find(local); d != dc.end()) {
                p = d->second;
            }
        } else {
            static const std::map<std::string_view, TPredicate> own = {
                {v::kListOrder, TPredicate::OwnListOrder},
                {v::kIconPosX, TPredicate::OwnIconPosX},
                {v::kIconPosY, TPredicate::OwnIconPosY},
                {v::kWithoutTitleLabel, TPredicate::OwnWithoutTitleLabel},
                {v::kMirrorOf, TPredicate::OwnMirrorOf},
                {v::kShownUnder, TPredicate::OwnShownUnder},
                {v::kLinkCode, TPredicate::OwnLinkCode},
                {v::kConceptDescrDefault, TPredicate::OwnDescrDefault},
                {v::kConceptCommentDefault, TPredicate::OwnCommentDefault},
                {v::kNextConceptNumber, TPredicate::OwnNextConceptNumber},
                {v::kNextMirrorImageNumber, TPredicate::OwnNextMirrorImageNumber},
            };
            if (const auto o = own.find(local); o != own.end()) {
                p = o->second;
            }
        }
        Predicates.emplace(std::string(iri), p);
        return p;
    }

    int Rank(const raptor_term* object) const {
        const auto& literal = object->value.literal;
        if (literal.language == nullptr || literal.language_len == 0) {
            return 2;
        }
        const std::string_view tag(reinterpret_cast<const char*>(literal.language),
                                   literal.language_len);
        const std::string_view wanted = Options.Language;
        if (EqualsNoCase(tag, wanted)) {
            return 0;
        }
        if (tag.size() > wanted.size() && tag[wanted.size()] == '-' &&
            EqualsNoCase(tag.substr(0, wanted.size()), wanted)) {
            return 1;
        }
        return 3;
    }

    static void Keep(TRankedText& slot, std::string_view text, int rank) {
        if (rank < slot.Rank) {
            slot.Text.assign(text);
            slot.Rank = rank;
        }
    }

    void Take(const raptor_statement& statement) {
        ++Statements;
        const raptor_term* s = statement.subject;
        const raptor_term* o = statement.object;
        if (s == nullptr || o == nullptr || statement.predicate == nullptr ||
            statement.predicate->type != RAPTOR_TERM_TYPE_URI) {
            return;
        }
        const std::string_view predicateIri = TermText(statement.predicate);
        const TPredicate p = Classify(predicateIri);
        const bool literal = o->type == RAPTOR_TERM_TYPE_LITERAL;
        const int subject = Node(s);
        if (p == TPredicate::Other) {
            // A relation of another property: kept in case the property turns out to be a
            // sub-property of skos:related.
            if (!literal && !Owl() && s->type == RAPTOR_TERM_TYPE_URI &&
                o->type == RAPTOR_TERM_TYPE_URI) {
                Edges.push_back({subject, Node(o), Node(statement.predicate)});
            }
            return;
        }
        if ((p == TPredicate::OwnNextConceptNumber || p == TPredicate::OwnNextMirrorImageNumber) &&
            predicateIri.substr(0, predicateIri.size() - LocalName(predicateIri).size()) !=
                TermText(s)) {
            return;  // the counters are the scheme's own terms only
        }
        if (IsOwn(p) && Nodes[subject].OwnNamespace < 0) {
            Nodes[subject].OwnNamespace = Namespace(predicateIri);
        }
        if (literal) {
            TakeLiteral(subject, p, o);
            return;
        }
        const int object = Node(o);
        switch (p) {
            case TPredicate::Type:
                TakeType(subject, *Nodes[object].Iri);
                break;
            case TPredicate::Broader:
                Edges.push_back({subject, object, -1});
                break;
            case TPredicate::Narrower:
                Edges.push_back({object, subject, -1});
                break;
            case TPredicate::Related:
                Edges.push_back({subject, object, -2});
                break;
            case TPredicate::SubClassOf:
                if (Owl()) {
                    Edges.push_back({subject, object, -1});
                }
                break;
            case TPredicate::SubPropertyOf: {
                const std::string& super = *Nodes[object].Iri;
                if (super == std::string(v::kSkos) + "related") {
                    Nodes[subject].Flags |= kRelatedSub | kProperty;
                } else if (super == std::string(v::kSkos) + "broader") {
                    Nodes[subject].Flags |= kBroaderSub | kProperty;
                }
                break;
            }
            case TPredicate::OnProperty:
                Nodes[subject].OnProperty = object;
                break;
            case TPredicate::SomeValuesFrom:
                Nodes[subject].SomeValuesFrom = object;
                break;
            case TPredicate::OwnMirrorOf:
                DetailsOf(subject).MirrorOf = object;
                break;
            case TPredicate::OwnShownUnder:
                DetailsOf(subject).ShownUnder = object;
                break;
            default:
                break;
        }
    }

    void TakeType(int subject, std::string_view type) {
        const std::string_view local = LocalName(type);
        const std::string_view ns = type.substr(0, type.size() - local.size());
        TNode& node = Nodes[subject];
        if (ns == v::kSkos) {
            if (local == "Concept") {
                node.Flags |= kSkosConcept;
            } else if (local == "ConceptScheme") {
                node.Flags |= kScheme;
            }
        } else if (ns == v::kOwl) {
            if (local == "Class") {
                node.Flags |= kOwlClass;
            } else if (local == "Ontology") {
                node.Flags |= kScheme;
            } else if (local == "Restriction") {
                node.Flags |= kRestriction;
            } else if (local == "ObjectProperty") {
                node.Flags |= kProperty;
            }
        } else if (ns == v::kRdf && local == "Property") {
            node.Flags |= kProperty;
        } else if (local == v::kMirrorImage) {
            node.Flags |= kMirrorRecord;
            if (node.OwnNamespace < 0) {
                node.OwnNamespace = Namespace(type);
            }
        }
    }

    void TakeLiteral(int subject, TPredicate p, const raptor_term* o) {
        const std::string_view text = TermText(o);
        const int rank = Rank(o);
        TDetails& d = DetailsOf(subject);
        const auto number = [&](std::optional<std::int32_t>& slot) {
            if (const auto n = ParseInteger(text)) {
                slot = *n;
            }
        };
        // Texts that only one statement should give: the first one counts.
        const auto first = [&](std::string& slot) {
            if (slot.empty()) {
                slot.assign(text);
            }
        };
        const bool owl = Owl();
        switch (p) {
            case TPredicate::PrefLabel:
                if (!owl) {
                    d.Prefs.push_back({std::string(text), rank});
                } else {
                    d.Labels.emplace_back(text);
                }
                break;
            case TPredicate::RdfsLabel:
                if (owl) {
                    d.Prefs.push_back({std::string(text), rank});
                }
                Keep(d.RdfsLabel, text, rank);
                break;
            case TPredicate::AltLabel:
            case TPredicate::Synonym:
                d.Labels.emplace_back(text);
                break;
            case TPredicate::Definition:
                Keep(d.Description, text, rank);
                break;
            case TPredicate::Note:
                if (!owl) {
                    Keep(d.Comment, text, rank);
                }
                break;
            case TPredicate::RdfsComment:
                // OWL's comment; in SKOS a note wins over it.
                Keep(d.Comment, text, owl ? rank : rank + 10);
                break;
            case TPredicate::DcTitle:
                Keep(d.SchemeDetails().Title, text, rank);
                break;
            case TPredicate::DcDescription:
                Keep(d.Description, text, rank + 10);
                break;
            case TPredicate::DcSubject:
                Keep(d.SchemeDetails().Subject, text, rank);
                break;
            case TPredicate::DcAudience:
                Keep(d.SchemeDetails().Audience, text, rank);
                break;
            case TPredicate::DcCreator:
                first(d.SchemeDetails().Creator);
                break;
            case TPredicate::DcCreated:
                first(d.Created);
                break;
            case TPredicate::DcModified:
                first(d.Modified);
                break;
            case TPredicate::DcContributor:
                first(d.Editor);
                break;
            case TPredicate::DcIdentifier:
                first(d.Identifier);
                break;
            case TPredicate::OwnListOrder:
                number(d.ListOrder);
                break;
            case TPredicate::OwnIconPosX:
                number(d.IconX);
                break;
            case TPredicate::OwnIconPosY:
                number(d.IconY);
                break;
            case TPredicate::OwnLinkCode:
                if (const auto n = ParseInteger(text)) {
                    d.LinkCode = *n;
                }
                break;
            case TPredicate::OwnWithoutTitleLabel:
                d.WithoutTitleLabel = text == "true" || text == "1";
                break;
            case TPredicate::OwnDescrDefault:
                Keep(d.SchemeDetails().DescrDefault, text, rank);
                break;
            case TPredicate::OwnCommentDefault:
                Keep(d.SchemeDetails().CommentDefault, text, rank);
                break;
            case TPredicate::OwnNextConceptNumber:
                d.SchemeDetails().NextConceptNumber = ParseNumberName(text);
                break;
            case TPredicate::OwnNextMirrorImageNumber:
                d.SchemeDetails().NextMirrorImageNumber = ParseNumberName(text);
                break;
            default:
                break;
        }
    }

    // --- Building the ontology

    // UTF-8 to table text: line breaks as CR LF, "?" for what code page 932 cannot hold, cut
    // to width bytes (0: a memo) as the field would, both counted.
    std::string ToTable(std::string_view utf8, std::size_t width) {
        std::string text;
        text.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const char c = utf8[i];
            if (c == '\r' || c == '\n') {
                text += "\r\n";
                if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                    ++i;
                }
            } else if (c == '\0') {
                text += '?';
                ++Result.Replaced;
            } else {
                text += c;
            }
        }
        int replaced = 0;
        std::string cp932 = store::Utf8ToCp932(text, &replaced);
        Result.Replaced += replaced;
        if (width > 0) {
            std::string stored = store::TextAsStored(cp932, width);
            if (store::CutToBytes(cp932, width).size() < cp932.size()) {
                ++Result.CutTexts;
            }
            return stored;
        }
        return cp932;
    }

    const TDetails* Find(int node) const {
        return Nodes[node].Details < 0 ? nullptr : &Details[Nodes[node].Details];
    }

    std::string Warning(std::string text) {
        Result.Warnings.push_back(text);
        return text;
    }
};

TRdfImport::TRdfImport(store::TDataModule1& store, store::TOntology& ontology,
                       const store::TStoreContext& context, const TRdfImportOptions& options,
                       std::string name)
    : m_state(std::make_unique<TState>(store, ontology, context, options, std::move(name))) {}

TRdfImport::~TRdfImport() = default;

void TRdfImport::Feed(std::string_view chunk) {
    m_state->Feed(chunk);
}

namespace {

struct TMirror {
    int From;  // concept indexes
    int To;
    std::int32_t Code;
    std::int32_t Number = 0;
    const TDetails* Record = nullptr;  // the export's own record, when the file has one
};

struct TEdgeKey {
    int Child;
    int Parent;
    std::int32_t Code;
    friend bool operator==(const TEdgeKey&, const TEdgeKey&) = default;
};
struct TEdgeKeyHash {
    std::size_t operator()(const TEdgeKey& k) const {
        return (static_cast<std::size_t>(static_cast<std::uint32_t>(k.Child)) *
                0x9E3779B97F4A7C15ULL) ^
               (static_cast<std::size_t>(static_cast<std::uint32_t>(k.Parent)) << 8) ^
               static_cast<std::size_t>(static_cast<std::uint32_t>(k.Code));
    }
};

}  // namespace

TRdfImportResult TRdfImport::Finish() {
    TState& st = *m_state;
    st.End();
    const bool owl = st.Owl();
    std::vector<TNode>& nodes = st.Nodes;

    // The namespaces of the schemes (or ontologies): the export's own annotations live there.
    std::vector<std::string_view> schemes;
    std::unordered_set<int> ownNamespaces;
    for (const TNode& node : nodes) {
        if ((node.Flags & kScheme) != 0 && (node.Flags & kBlank) == 0) {
            schemes.push_back(*node.Iri);
            if (const auto ns = st.Namespaces.find(*node.Iri); ns != st.Namespaces.end()) {
                ownNamespaces.insert(ns->second);
            }
        }
    }
    const auto own = [&](const TNode& node) {
        return node.OwnNamespace >= 0 && ownNamespaces.count(node.OwnNamespace) != 0;
    };
    // The number in an IRI the export made: a scheme's IRI, prefix, decimal digits.
    const auto numberIn = [&](std::string_view iri, std::string_view prefix) {
        std::optional<std::int32_t> number;
        for (const std::string_view scheme : schemes) {
            if (iri.size() > scheme.size() + prefix.size() &&
                iri.substr(0, scheme.size()) == scheme &&
                iri.substr(scheme.size(), prefix.size()) == prefix) {
                number = ParseNumberName(iri.substr(scheme.size() + prefix.size()));
                if (number) {
                    break;
                }
            }
        }
        return number;
    };
    const std::string owlThing = std::string(v::kOwl) + "Thing";
    for (TNode& node : nodes) {
        if (*node.Iri == owlThing) {
            node.Flags |= kOwlThing;
        }
        for (const std::string_view scheme : schemes) {
            if (*node.Iri == std::string(scheme) + std::string(v::kMirrorImage)) {
                node.Flags |= kMirrorClass;
            }
        }
    }

    // OWL restrictions become relation edges; sub-properties of broader join the hierarchy.
    for (TEdge& edge : st.Edges) {
        if (edge.Property >= 0 && (nodes[edge.Property].Flags & kBroaderSub) != 0) {
            edge.Property = -1;
        }
        if (owl && edge.Property == -1 && (nodes[edge.Parent].Flags & kBlank) != 0) {
            const TNode& r = nodes[edge.Parent];
            if (r.OnProperty >= 0 && r.SomeValuesFrom >= 0 &&
                (nodes[r.SomeValuesFrom].Flags & kBlank) == 0) {
                edge = {edge.Child, r.SomeValuesFrom, r.OnProperty};
            } else {
                edge.Property = -3;  // another class expression: not kept
            }
        }
    }

    // Concepts, in the order the file first names them.
    const auto excluded = [&](const TNode& node) {
        return (node.Flags & (kBlank | kOwlThing | kMirrorClass | kScheme | kProperty |
                              kMirrorRecord | kRestriction)) != 0;
    };
    std::vector<int> conceptOf(nodes.size(), -1);
    const std::uint16_t conceptFlag = owl ? kOwlClass : kSkosConcept;
    std::vector<char> candidate(nodes.size(), 0);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        candidate[i] = (nodes[i].Flags & conceptFlag) != 0 && !excluded(nodes[i]);
    }
    for (const TEdge& edge : st.Edges) {
        if (edge.Property == -1) {
            for (const int end : {edge.Child, edge.Parent}) {
                if (!excluded(nodes[end])) {
                    candidate[end] = 1;
                }
            }
        }
    }
    std::vector<int> concepts;  // node of each concept
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (candidate[i]) {
            conceptOf[i] = static_cast<int>(concepts.size());
            concepts.push_back(static_cast<int>(i));
        }
    }
    if (concepts.empty()) {
        std::size_t other = 0;
        const std::uint16_t otherFlag = owl ? kSkosConcept : kOwlClass;
        for (const TNode& node : nodes) {
            other += (node.Flags & otherFlag) != 0 ? 1 : 0;
        }
        std::string message = st.Name + ": " + (owl ? "owl:Class" : "skos:Concept") +
                              " が一つもありません (" + std::to_string(st.Statements) +
                              " 個のトリプルを読みました).";
        if (other > 0) {
            message += owl ? " SKOS の概念なら --as skos で読み込めます."
                           : " OWL のクラスなら --as owl で読み込めます.";
        }
        throw ERdfError(message);
    }
    const std::size_t conceptCount = concepts.size();

    // Link types: the export's own (base + "link" + code), then one per other relation.
    std::map<std::int32_t, std::pair<std::string, std::string>> linkTypes;  // code: title, comment
    std::unordered_map<int, std::int32_t> codeOfProperty;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if ((nodes[i].Flags & kProperty) == 0) {
            continue;
        }
        if (const auto code = numberIn(*nodes[i].Iri, v::kLinkPrefix)) {
            const TDetails* d = st.Find(static_cast<int>(i));
            linkTypes[*code] = {d ? d->RdfsLabel.Text : std::string(),
                                d ? d->Comment.Text : std::string()};
            codeOfProperty[static_cast<int>(i)] = *code;
        }
    }
    std::int32_t nextCode = store::kLastDefaultLinkCode + 1;
    for (const auto& [code, texts] : linkTypes) {
        nextCode = std::max(nextCode, code + 1);
    }
    const auto codeFor = [&](int property) -> std::int32_t {
        if (const auto found = codeOfProperty.find(property); found != codeOfProperty.end()) {
            return found->second;
        }
        const std::int32_t code = nextCode++;
        codeOfProperty[property] = code;
        if (property == -2) {
            linkTypes[code] = {"related", std::string()};
        } else {
            const TDetails* d = st.Find(property);
            std::string title = d && !d->RdfsLabel.Text.empty()
                                    ? d->RdfsLabel.Text
                                    : std::string(LocalName(*nodes[property].Iri));
            linkTypes[code] = {title, d ? d->Comment.Text : std::string()};
        }
        ++st.Result.LinkTypesAdded;
        return code;
    };
    const auto isRelation = [&](int property) {
        if (property == -2) {
            return true;
        }
        if (property < 0) {
            return false;
        }
        return owl ? true
                   : (nodes[property].Flags & kRelatedSub) != 0 ||
                         codeOfProperty.count(property) != 0;
    };

    // The export's mirror-image records: they say which statements are mirror images.
    std::vector<TMirror> mirrors;
    std::unordered_set<TEdgeKey, TEdgeKeyHash> covered;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const TNode& node = nodes[i];
        const TDetails* d = st.Find(static_cast<int>(i));
        if ((node.Flags & kMirrorRecord) == 0 || !own(node) || d == nullptr || d->MirrorOf < 0 ||
            d->ShownUnder < 0 || conceptOf[d->MirrorOf] < 0 || conceptOf[d->ShownUnder] < 0 ||
            d->LinkCode < 1) {
            continue;
        }
        TMirror m{conceptOf[d->ShownUnder], conceptOf[d->MirrorOf], d->LinkCode};
        m.Number = numberIn(*node.Iri, v::kMirrorPrefix).value_or(0);
        m.Record = d;
        covered.insert({m.To, m.From, m.Code});
        mirrors.push_back(m);
    }

    // The own parent: the first hierarchy statement no record claims (or, when all are claimed,
    // the first: a mirror image at its concept's own place).
    std::vector<int> parent(conceptCount, -1);
    std::vector<int> firstCovered(conceptCount, -1);
    std::unordered_set<TEdgeKey, TEdgeKeyHash> seen;
    struct TPending {
        int Child;
        int Parent;
        std::int32_t Code;
    };
    std::vector<TPending> extra;
    for (const TEdge& edge : st.Edges) {
        const int c = conceptOf[edge.Child];
        const int p = conceptOf[edge.Parent];
        if (c < 0 || p < 0) {
            continue;
        }
        std::int32_t code = 1;
        if (edge.Property != -1) {
            if (!isRelation(edge.Property)) {
                continue;
            }
            code = codeFor(edge.Property);
        }
        if (!seen.insert({c, p, code}).second) {
            continue;
        }
        if (covered.count({c, p, code}) != 0) {
            if (code == 1 && firstCovered[c] < 0) {
                firstCovered[c] = p;
            }
            continue;
        }
        if (code == 1 && parent[c] < 0 && c != p) {
            parent[c] = p;
        } else {
            extra.push_back({c, p, code});
        }
    }
    for (std::size_t c = 0; c < conceptCount; ++c) {
        if (parent[c] < 0 && firstCovered[c] >= 0 && firstCovered[c] != static_cast<int>(c)) {
            parent[c] = firstCovered[c];
        }
    }

    // Titles, for the tables and the warnings.
    std::vector<std::string> titles(conceptCount);
    std::vector<std::string> titleUtf8(conceptCount);
    for (std::size_t c = 0; c < conceptCount; ++c) {
        const TDetails* d = st.Find(concepts[c]);
        std::string title;
        if (d != nullptr) {
            int best = 99;
            for (const TRankedText& pref : d->Prefs) {
                if (pref.Rank < best) {
                    best = pref.Rank;
                    title = pref.Text;
                }
            }
            if (best == 99 && !d->RdfsLabel.Text.empty()) {
                title = d->RdfsLabel.Text;
            }
        }
        if (title.empty() && (d == nullptr || d->Prefs.empty())) {
            title = std::string(LocalName(*nodes[concepts[c]].Iri));
        }
        titleUtf8[c] = title;
    }
    const auto named = [&](int c) { return "「" + titleUtf8[c] + "」"; };

    // A cycle of own parents is broken at its concept the file names first: it goes under the
    // top concept.
    {
        std::vector<std::uint8_t> state(conceptCount, 0);  // 0 new, 1 on the walk, 2 done
        for (std::size_t start = 0; start < conceptCount; ++start) {
            std::vector<int> path;
            int c = static_cast<int>(start);
            while (c >= 0 && state[c] == 0) {
                state[c] = 1;
                path.push_back(c);
                c = parent[c];
            }
            if (c >= 0 && state[c] == 1) {
                const auto from = std::find(path.begin(), path.end(), c);
                const int first = *std::min_element(from, path.end());
                std::string names;
                for (auto it = from; it != path.end(); ++it) {
                    names += named(*it) + " → ";
                }
                names += named(c);
                st.Warning("階層が循環しています: " + names + ". " + named(first) + " の上位概念 " +
                           named(parent[first]) + " への関係を外し, 最上位の概念の下に置きました.");
                parent[first] = -1;
            }
            for (const int done : path) {
                state[done] = 2;
            }
        }
    }

    // The top concept: the one concept without a parent, else one made from the scheme.
    std::vector<int> roots;
    for (std::size_t c = 0; c < conceptCount; ++c) {
        if (parent[c] < 0) {
            roots.push_back(static_cast<int>(c));
        }
    }
    int top = roots.size() == 1 ? roots.front() : -1;
    const TDetails* scheme = nullptr;
    std::string schemeTitle;
    for (std::size_t i = 0; i < nodes.size() && scheme == nullptr; ++i) {
        if ((nodes[i].Flags & kScheme) != 0 && (nodes[i].Flags & kBlank) == 0) {
            scheme = st.Find(static_cast<int>(i));
            schemeTitle = std::string(LocalName(*nodes[i].Iri));
            if (scheme != nullptr) {
                int best = 99;
                for (const TRankedText& pref : scheme->Prefs) {
                    if (pref.Rank < best) {
                        best = pref.Rank;
                        schemeTitle = pref.Text;
                    }
                }
                if (!scheme->RdfsLabel.Text.empty()) {
                    schemeTitle = scheme->RdfsLabel.Text;
                }
                if (scheme->Scheme && !scheme->Scheme->Title.Text.empty()) {
                    schemeTitle = scheme->Scheme->Title.Text;
                }
            }
        }
    }
    if (schemeTitle.empty()) {
        schemeTitle = st.Name.substr(st.Name.find_last_of('/') + 1);
    }
    if (top < 0) {
        top = static_cast<int>(titles.size());
        titles.emplace_back();
        titleUtf8.push_back(schemeTitle);
        parent.push_back(-1);
        concepts.push_back(-1);
        for (const int root : roots) {
            parent[root] = top;
        }
        st.Result.TopConceptMade = true;
    }
    const std::size_t allConcepts = concepts.size();

    // Further parents and relations: mirror images; a subconcept one that would close a cycle
    // with the parents is left out.
    for (const TPending& e : extra) {
        mirrors.push_back({e.Parent, e.Child, e.Code});
    }
    {
        std::unordered_map<int, std::vector<int>> moreParents;
        std::vector<std::uint32_t> stamp(allConcepts, 0);
        std::uint32_t walk = 0;
        std::vector<int> stack;
        const auto reaches = [&](int from, int target) {
            ++walk;
            stack.assign(1, from);
            while (!stack.empty()) {
                const int c = stack.back();
                stack.pop_back();
                if (c == target) {
                    return true;
                }
                if (c < 0 || stamp[c] == walk) {
                    continue;
                }
                stamp[c] = walk;
                stack.push_back(parent[c]);
                if (const auto more = moreParents.find(c); more != moreParents.end()) {
                    stack.insert(stack.end(), more->second.begin(), more->second.end());
                }
            }
            return false;
        };
        std::vector<TMirror> kept;
        kept.reserve(mirrors.size());
        for (const TMirror& m : mirrors) {
            if (m.Code == 1 && reaches(m.From, m.To)) {
                st.Warning("階層が循環するため, " + named(m.To) + " を " + named(m.From) +
                           " の下位概念とする関係 (鏡像) を外しました.");
                continue;
            }
            if (m.Code == 1) {
                moreParents[m.To].push_back(m.From);
            }
            kept.push_back(m);
        }
        mirrors = std::move(kept);
    }

    // Record numbers: those of the export's IRIs, the others after the highest.
    std::vector<std::int32_t> numbers(allConcepts, 0);
    // A concept named by the export (base IRI + number) takes what the file leaves out as the
    // tables had it: null, not the defaults a foreign concept gets.
    std::vector<char> exported(allConcepts, 0);
    {
        std::unordered_set<std::int32_t> used;
        std::int32_t highest = 0;
        for (std::size_t c = 0; c < conceptCount; ++c) {
            if (const auto n = numberIn(*nodes[concepts[c]].Iri, "")) {
                if (used.insert(*n).second) {
                    numbers[c] = *n;
                    exported[c] = 1;
                    highest = std::max(highest, *n);
                }
            }
        }
        for (std::int32_t& n : numbers) {
            if (n == 0) {
                if (highest >= kHighestNumber) {
                    throw ERdfError(st.Name + ": 概念の番号が大きすぎます.");
                }
                n = ++highest;
            }
        }
        std::unordered_set<std::int32_t> usedLinks;
        std::int32_t highestLink = 0;
        for (TMirror& m : mirrors) {
            if (m.Number != 0 && !usedLinks.insert(m.Number).second) {
                m.Number = 0;
            }
            highestLink = std::max(highestLink, m.Number);
        }
        for (TMirror& m : mirrors) {
            if (m.Number == 0) {
                m.Number = ++highestLink;
            }
        }
    }

    // Sibling order: the export's, else the order of the file (concepts, then mirror images).
    bool ownOrder = false;
    for (std::size_t c = 0; c < conceptCount && !ownOrder; ++c) {
        const TDetails* d = st.Find(concepts[c]);
        ownOrder = d != nullptr && d->ListOrder && exported[c] != 0;
    }
    for (const TMirror& m : mirrors) {
        ownOrder = ownOrder || (m.Record != nullptr && m.Record->ListOrder);
    }
    std::vector<std::int32_t> placed(allConcepts, 0);

    // --- The tables.
    store::TDataModule1& store = st.Store;
    const store::TStoreContext& context = st.Context;
    store.CreateTables();
    TTable& conceptTable = store.DtStOriginalConcepts;
    TTable& terms = store.DtStOriginalTerms;
    TTable& assocs = store.DtStOriginalAssociation;
    TTable& network = store.DtStOriginalNetWork;
    TTable& types = store.DtStOriginalLinkType;
    const store::TDateTime now = context.Now();
    const std::string userName = context.UserName();

    for (const auto& [code, texts] : linkTypes) {
        const std::string title = st.ToTable(texts.first, kTextWidth);
        const std::string comment = st.ToTable(texts.second, kTextWidth);
        if (types.Locate(store::kFieldLinkCode, TValue(code))) {
            types.Edit();
        } else {
            types.Append();
            types.FieldByName(store::kFieldLinkCode).SetAsInteger(code);
        }
        types.FieldByName(store::kFieldLinkTitle).SetAsString(title);
        types.FieldByName(store::kFieldComment).SetAsString(comment);
        types.Post();
    }

    std::unordered_map<std::string, std::int32_t> termOf;
    const auto addLabel = [&](std::int32_t conceptNo, const std::string& text,
                              std::vector<std::string>& given) {
        const std::string stored = store::TDataModule1::LabelAsStored(text);
        if (stored.empty() || std::find(given.begin(), given.end(), stored) != given.end()) {
            return;
        }
        given.push_back(stored);
        auto found = termOf.find(stored);
        if (found == termOf.end()) {
            const std::int32_t termNo = terms.AutoIncValue();
            terms.AppendRecord({std::monostate{}, stored, std::monostate{}});
            found = termOf.emplace(stored, termNo).first;
        }
        assocs.AppendRecord({std::monostate{}, conceptNo, found->second, std::monostate{}});
    };

    std::vector<int> order(allConcepts);
    for (std::size_t c = 0; c < allConcepts; ++c) {
        order[c] = static_cast<int>(c);
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) { return numbers[a] < numbers[b]; });
    // Sibling numbers in file order, worked out before the records go in by number.
    std::vector<std::int32_t> listOrder(allConcepts, store::kNotOrdered);
    if (!ownOrder) {
        for (std::size_t c = 0; c < allConcepts; ++c) {
            if (parent[c] >= 0) {
                listOrder[c] = ++placed[parent[c]];
            }
        }
    }
    std::vector<TValue> row(12);
    for (const int c : order) {
        const int node = concepts[c];
        const TDetails* d = node >= 0 ? st.Find(node) : nullptr;
        const bool ownNode = exported[c] != 0;
        const std::int32_t no = numbers[c];
        const std::string title = st.ToTable(titleUtf8[c], kTextWidth);
        titles[c] = title;
        row[0] = std::monostate{};
        row[1] = title;
        row[2] = d != nullptr && !d->Identifier.empty() ? st.ToTable(d->Identifier, kTextWidth)
                                                        : store::ConceptIdentifier(no, title);
        row[3] = d != nullptr ? st.ToTable(d->Description.Text, 0) : std::string();
        row[4] = d != nullptr ? st.ToTable(d->Comment.Text, 0) : std::string();
        row[5] = parent[c] >= 0 ? numbers[parent[c]] : 0;
        if (ownOrder) {
            row[6] = d != nullptr && d->ListOrder && ownNode ? TValue(*d->ListOrder)
                     : node < 0                              ? TValue(store::kNotOrdered)
                                                             : TValue();
        } else {
            row[6] = listOrder[c];
        }
        const auto position = [&](const std::optional<std::int32_t>& given) {
            return given && ownNode ? TValue(*given)
                   : ownNode        ? TValue()
                                    : TValue(store::kNotPlaced);
        };
        row[7] = position(d != nullptr ? d->IconX : std::nullopt);
        row[8] = position(d != nullptr ? d->IconY : std::nullopt);
        const auto moment = [&](const std::string& text) -> TValue {
            if (text.empty()) {
                return ownNode ? TValue() : TValue(now);
            }
            return ParseDateTime(text).value_or(now);
        };
        row[9] = moment(d != nullptr ? d->Created : std::string());
        row[10] = moment(d != nullptr ? d->Modified : std::string());
        row[11] = d != nullptr && !d->Editor.empty() ? st.ToTable(d->Editor, kTextWidth)
                  : ownNode                          ? std::string()
                                                     : userName;
        conceptTable.SetAutoIncValue(no);
        conceptTable.AppendRecord(row);

        std::vector<std::string> given;
        if (d == nullptr || !d->WithoutTitleLabel) {
            addLabel(no, title, given);
        }
        if (d != nullptr) {
            for (const TRankedText& pref : d->Prefs) {
                if (pref.Text != titleUtf8[c]) {
                    addLabel(no, st.ToTable(pref.Text, 0), given);
                }
            }
            for (const std::string& label : d->Labels) {
                addLabel(no, st.ToTable(label, 0), given);
            }
        }
    }

    std::vector<std::size_t> mirrorOrder(mirrors.size());
    for (std::size_t i = 0; i < mirrors.size(); ++i) {
        mirrorOrder[i] = i;
    }
    std::vector<std::int32_t> mirrorList(mirrors.size(), 0);
    if (!ownOrder) {
        for (std::size_t i = 0; i < mirrors.size(); ++i) {
            mirrorList[i] = ++placed[mirrors[i].From];
        }
    }
    std::sort(mirrorOrder.begin(), mirrorOrder.end(),
              [&](std::size_t a, std::size_t b) { return mirrors[a].Number < mirrors[b].Number; });
    for (const std::size_t i : mirrorOrder) {
        const TMirror& m = mirrors[i];
        const TDetails* r = m.Record;
        TValue listValue;
        if (!ownOrder) {
            listValue = mirrorList[i];
        } else if (r != nullptr && r->ListOrder) {
            listValue = *r->ListOrder;
        }
        network.SetAutoIncValue(m.Number);
        network.AppendRecord({std::monostate{}, numbers[m.From], numbers[m.To], listValue, m.Code,
                              r != nullptr && r->IconX ? *r->IconX : store::kNotPlaced,
                              r != nullptr && r->IconY ? *r->IconY : store::kNotPlaced});
    }

    // The record counters the export kept, never below the highest number in use + 1: the
    // numbers of records deleted before the export stay unused.
    static const TSchemeDetails kNoSchemeDetails;
    const TSchemeDetails& schemeDetails =
        scheme != nullptr && scheme->Scheme ? *scheme->Scheme : kNoSchemeDetails;
    for (const auto& [table, next] : {std::pair{&conceptTable, schemeDetails.NextConceptNumber},
                                      std::pair{&network, schemeDetails.NextMirrorImageNumber}}) {
        if (next && *next > table->AutoIncValue()) {
            table->SetAutoIncValue(*next);
        }
    }

    // The metadata, from the scheme (or ontology); the top concept's title where it has none.
    store::TOntology& ontology = st.Ontology;
    const auto meta = [&](const TRankedText* text) {
        return text != nullptr ? st.ToTable(text->Text, 0) : std::string();
    };
    std::string title = st.ToTable(schemeTitle, 0);
    if (scheme == nullptr) {
        title = titles[top];
    }
    ontology.SetTitle(title);
    std::string target = meta(&schemeDetails.Subject);
    ontology.SetTarget(target.empty() ? titles[top] : target);
    if (scheme != nullptr) {
        ontology.SetCommunity(meta(&schemeDetails.Audience));
        ontology.SetDescription(meta(&scheme->Description));
        ontology.SetCreator(st.ToTable(schemeDetails.Creator, 0));
        ontology.SetCreatedDay(st.ToTable(scheme->Created, 0));
        ontology.SetConceptDescrDefault(meta(&schemeDetails.DescrDefault));
        ontology.SetConceptCommentDefault(meta(&schemeDetails.CommentDefault));
    }
    ontology.SetCanUndo(false);
    ontology.SetModified(true);
    store.MergeChangeLogs();
    store.AttachTables();

    st.Result.Concepts = conceptTable.RecordCount();
    st.Result.MirrorImages = network.RecordCount();
    st.Result.Labels = terms.RecordCount();
    return std::move(st.Result);
}

TRdfImportResult ImportRdf(std::string_view text, store::TDataModule1& store,
                           store::TOntology& ontology, const store::TStoreContext& context,
                           const TRdfImportOptions& options, const std::string& name) {
    TRdfImport import(store, ontology, context, options, name);
    import.Feed(text);
    return import.Finish();
}

TRdfImportResult ImportRdfFile(const std::string& path, store::TFileSystem& fileSystem,
                               store::TDataModule1& store, store::TOntology& ontology,
                               const store::TStoreContext& context,
                               const TRdfImportOptions& options,
                               const std::function<void(std::int64_t, std::int64_t)>& progress) {
    const std::unique_ptr<store::TFile> file = fileSystem.OpenRead(path);
    const std::int64_t size = file->Size();
    TRdfImport import(store, ontology, context, options, path);
    std::string buffer(1 << 16, '\0');
    std::int64_t done = 0;
    while (const std::size_t n = file->Read(buffer.data(), buffer.size())) {
        import.Feed(std::string_view(buffer.data(), n));
        done += static_cast<std::int64_t>(n);
        if (progress) {
            progress(done, size);
        }
    }
    return import.Finish();
}

}  // namespace velmora::exchange
