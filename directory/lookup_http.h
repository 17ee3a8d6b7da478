// The HTTP plumbing of the directory's look-ups: a cpp-httplib server that
// caps the connections open at once per address, and pages made once (and
// gzipped once, with a validator) that every request is served as they are.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "directory/storage.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tw::dir {

struct MadePage {
  std::string plain;
  std::string gzipped;
  std::string etag;  // empty: none
};

// `plain` with its gzip, made now, once.
MadePage makePage(std::string plain, std::string etag);
// A weak validator of what the list says, without the ages that change every
// second: it stays while no game comes, goes or changes.
std::string listTag(const std::vector<Listing>& games);

// A connection beyond `connectionsPerAddress` from one address is answered
// 429 and closed at once, before it holds a worker.
std::unique_ptr<httplib::Server> cappedServer(int connectionsPerAddress);

// Answers with `page` as it is, gzipped when the client takes that (httplib
// neither copies nor compresses it per request), or 304 when the client's
// If-None-Match holds its validator.
void servePage(const httplib::Request& req, httplib::Response& res, std::shared_ptr<const MadePage> page,
               const char* type);

}  // namespace tw::dir
