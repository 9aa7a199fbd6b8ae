#include "rdf_raptor.h"

#include <new>

#include "rdf_export.h"

namespace velmora::exchange {

namespace {
const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Raptor answers a failed allocation with null.
raptor_term* Made(raptor_term* term) {
    if (term == nullptr) {
        throw std::bad_alloc();
    }
    return term;
}
}  // namespace

TRaptorWorld::TRaptorWorld() {
    m_world = raptor_new_world();
    if (m_world == nullptr || raptor_world_open(m_world) != 0) {
        if (m_world != nullptr) {
            raptor_free_world(m_world);
        }
        throw ERdfError("RDF ライブラリを初期化できません.");
    }
    raptor_world_set_log_handler(m_world, this, &TRaptorWorld::Log);
}

TRaptorWorld::~TRaptorWorld() {
    raptor_free_world(m_world);
}

void TRaptorWorld::Log(void* context, raptor_log_message* message) {
    auto& self = *static_cast<TRaptorWorld*>(context);
    if (message->level < RAPTOR_LOG_LEVEL_WARN) {
        return;
    }
    if (message->level == RAPTOR_LOG_LEVEL_WARN) {
        ++self.m_warnings;
        return;
    }
    const int line =
        message->locator != nullptr && message->locator->line > 0 ? message->locator->line : 0;
    if (!self.m_error.empty()) {
        // Some messages name no place; a later one about the same failure does.
        if (self.m_errorLine == 0) {
            self.m_errorLine = line;
        }
        return;
    }
    try {
        self.m_error = message->text != nullptr ? message->text : "(no message)";
        if (self.m_error.empty()) {
            self.m_error = "(no message)";
        }
    } catch (...) {
        self.m_error = "?";
    }
    self.m_errorLine = line;
}

std::string TRaptorWorld::TakeMessage() {
    std::string message = std::move(m_error);
    m_error.clear();
    m_errorLine = 0;
    return message;
}

raptor_term* TRaptorWorld::IriTerm(std::string_view iri) {
    return Made(raptor_new_term_from_counted_uri_string(m_world, Bytes(iri), iri.size()));
}

raptor_term* TRaptorWorld::UriTerm(raptor_uri* uri) {
    return Made(raptor_new_term_from_uri(m_world, uri));
}

raptor_term* TRaptorWorld::BlankTerm(std::string_view id) {
    return Made(raptor_new_term_from_counted_blank(m_world, Bytes(id), id.size()));
}

raptor_term* TRaptorWorld::LiteralTerm(std::string_view text, raptor_uri* datatype,
                                       std::string_view language) {
    return Made(raptor_new_term_from_counted_literal(m_world, Bytes(text), text.size(), datatype,
                                                     language.empty() ? nullptr : Bytes(language),
                                                     static_cast<unsigned char>(language.size())));
}

TRaptorUri::TRaptorUri(TRaptorWorld& world, std::string_view iri)
    : m_uri(raptor_new_uri_from_counted_string(world.World(), Bytes(iri), iri.size())) {
    if (m_uri == nullptr) {
        throw std::bad_alloc();
    }
}

TRaptorUri::~TRaptorUri() {
    if (m_uri != nullptr) {
        raptor_free_uri(m_uri);
    }
}

TUriCache::~TUriCache() {
    for (auto& [text, uri] : m_uris) {
        raptor_free_uri(uri);
    }
}

raptor_uri* TUriCache::Get(const std::string& iri) {
    const auto found = m_uris.find(iri);
    if (found != m_uris.end()) {
        return found->second;
    }
    raptor_uri* uri = raptor_new_uri_from_counted_string(m_world.World(), Bytes(iri), iri.size());
    if (uri == nullptr) {
        throw std::bad_alloc();
    }
    m_uris.emplace(iri, uri);
    return uri;
}

}  // namespace velmora::exchange
