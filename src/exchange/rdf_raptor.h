// Small owners around the Raptor C library for the RDF export and import: the world with its
// log captured (the first error and the line it names), URIs and terms made from UTF-8 text.
// Network and file access from inside a document (XML entities, imports) stay off.
//
// Used by rdf_export.cpp and rdf_import.cpp only. Single-threaded; one world per run.
#pragma once

#include <raptor2.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace velmora::exchange {

class TRaptorWorld {
public:
    TRaptorWorld();
    ~TRaptorWorld();
    TRaptorWorld(const TRaptorWorld&) = delete;
    TRaptorWorld& operator=(const TRaptorWorld&) = delete;

    raptor_world* World() const { return m_world; }

    // The first error (or fatal error) logged since the last TakeMessage, and its line (0 when
    // the message named none); warnings are counted apart.
    bool HasError() const { return !m_error.empty(); }
    int ErrorLine() const { return m_errorLine; }
    std::string TakeMessage();
    int Warnings() const { return m_warnings; }

    // New terms the caller owns (a statement frees them).
    raptor_term* IriTerm(std::string_view iri);
    // A term taking a reference to uri: no text is parsed.
    raptor_term* UriTerm(raptor_uri* uri);
    raptor_term* BlankTerm(std::string_view id);
    // Datatype or language (an empty view for none), not both.
    raptor_term* LiteralTerm(std::string_view text, raptor_uri* datatype,
                             std::string_view language);

private:
    static void Log(void* context, raptor_log_message* message);

    raptor_world* m_world = nullptr;
    std::string m_error;
    int m_errorLine = 0;
    int m_warnings = 0;
};

// One URI made from text, freed with its owner.
class TRaptorUri {
public:
    TRaptorUri(TRaptorWorld& world, std::string_view iri);
    ~TRaptorUri();
    TRaptorUri(const TRaptorUri&) = delete;
    TRaptorUri& operator=(const TRaptorUri&) = delete;
    TRaptorUri(TRaptorUri&& other) noexcept : m_uri(std::exchange(other.m_uri, nullptr)) {}
    TRaptorUri& operator=(TRaptorUri&&) = delete;
    raptor_uri* Get() const { return m_uri; }

private:
    raptor_uri* m_uri;
};

// URIs by their text, made once and freed together.
class TUriCache {
public:
    explicit TUriCache(TRaptorWorld& world) : m_world(world) {}
    ~TUriCache();
    TUriCache(const TUriCache&) = delete;
    TUriCache& operator=(const TUriCache&) = delete;
    raptor_uri* Get(const std::string& iri);

private:
    TRaptorWorld& m_world;
    std::unordered_map<std::string, raptor_uri*> m_uris;
};

}  // namespace velmora::exchange
