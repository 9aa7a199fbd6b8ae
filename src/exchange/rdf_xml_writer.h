// The RDF/XML writer of the RDF export. libxml2's text writer makes the XML (escaping, quoting,
// well-formedness); this class only arranges statements in the RDF/XML grammar: statements in a
// row about one subject share one rdf:Description, a property element carries rdf:resource,
// rdf:nodeID or a literal with xml:lang or rdf:datatype. Raptor's own RDF/XML writer does the same
// job several times slower (it scans its whole namespace table at the end of every element), and
// this one streams: nothing but the current subject is held.
//
// Single-threaded. A sink's exception is thrown again from the call that wrote.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace velmora::exchange {

// A subject or object: an IRI, a blank node's label or a literal (with a language or a
// datatype IRI, or neither).
struct TRdfNode {
    enum class TKind { Iri, Blank, Literal };
    TKind Kind = TKind::Iri;
    std::string_view Text;
    std::string_view Language;  // literals only
    std::string_view Datatype;  // literals only; never together with a language
};

class TRdfXmlWriter {
public:
    // Writes the text piece by piece, in pieces of about 64 KiB, to sink.
    explicit TRdfXmlWriter(std::function<void(std::string_view)> sink);
    ~TRdfXmlWriter();
    TRdfXmlWriter(const TRdfXmlWriter&) = delete;
    TRdfXmlWriter& operator=(const TRdfXmlWriter&) = delete;

    // Declares a prefix on the root element. REQUIRES: before Start; prefix an XML name.
    void Namespace(std::string_view iri, std::string_view prefix);
    void Start();
    // ERdfError for a predicate that has no XML name at its end (RDF/XML cannot write it) and
    // for a subject that is a literal.
    void Statement(const TRdfNode& subject, std::string_view predicate, const TRdfNode& object);
    // Closes the document and hands out the rest of the text.
    void End();

private:
    struct TXml;
    void Check(int result);
    void Attribute(const char* name, std::string_view value);
    void CloseSubject();

    std::function<void(std::string_view)> m_sink;
    std::unique_ptr<TXml> m_xml;
    std::map<std::string, std::string, std::less<>> m_prefixes;  // namespace IRI, prefix
    bool m_inSubject = false;
    TRdfNode::TKind m_subjectKind = TRdfNode::TKind::Iri;
    std::string m_subject;
    std::string m_scratch;
};

// Splits an IRI into a namespace and the longest XML name at its end; the name is empty when the
// IRI does not end in one.
std::pair<std::string_view, std::string_view> SplitIriForXml(std::string_view iri);

}  // namespace velmora::exchange
