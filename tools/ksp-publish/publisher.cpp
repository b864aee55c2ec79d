#include "tools/ksp-publish/publisher.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>

#include "updater/lzrw1/lzrw1.h"
#include "updater/lzrw1/lzrw1_codec.h"
#include "updater/lzrw1/lzrw1_container.h"
#include "updater/module_probe.h"
#include "updater/update_file_record.h"
#include "updater/update_signature.h"
#include "updater/version_list.h"
#include "platform/ascii_text.h"
#include "platform/atomic_file.h"

namespace quarry::publish {

namespace {

namespace fs = std::filesystem;

bool ReadFile(const fs::path& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

bool WriteWhole(const fs::path& path, const std::string& bytes, std::string* error) {
  std::string reason;
  if (platform::WriteFileAtomically(path.string(), bytes, &reason)) return true;
  *error = "cannot write " + reason;
  return false;
}

// "<name> <version>" lines; false with *error naming the bad line.
bool ReadVersionsFile(const fs::path& path, std::map<std::string, double>* versions,
                      std::string* error) {
  std::ifstream in(path);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    std::string name, version, extra;
    if (!(fields >> name)) continue;
    if (!(fields >> version) || (fields >> extra) || ParseVersionNumber(version) <= 0.0) {
      *error = path.string() + ":" + std::to_string(number) +
               ": expected \"<file name> <version>\", such as \"Quarry 1.10\"";
      return false;
    }
    (*versions)[name] = ParseVersionNumber(version);
  }
  return true;
}

// Whether the container at `path` holds a compressed stream (or no stream,
// for an empty file): a stored copy is refused by the updater.
bool HoldsCompressedStream(const fs::path& path) {
  std::string bytes;
  if (!ReadFile(path, &bytes)) return false;
  lzrw1::ContainerHeader header;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (lzrw1::ReadContainerHeader(data, bytes.size(), &header) != lzrw1::ContainerError::kNone) {
    return false;
  }
  if (header.stream_offset == bytes.size()) return header.expanded_size == 0;
  return data[header.stream_offset] == lzrw1::kFlagCompressed;
}

std::string SiteUrl(std::string url) {
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}

}  // namespace

bool BuildVersionList(const std::vector<PublishedFile>& files, const std::string& site_url,
                      const std::string& notice, std::string* text, std::string* error) {
  std::vector<const PublishedFile*> order;
  for (const PublishedFile& f : files) order.push_back(&f);
  // A shorter name cannot contain a longer one: shorter names first keeps
  // each file's own line ahead of the lines that contain its name.
  std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
    return a->name.size() < b->name.size();
  });
  const std::string url = SiteUrl(site_url);
  std::string out;
  for (const PublishedFile* f : order) {
    out += QuoteVersionField(f->name) + "," + FormatVersion(f->version) + "," +
           (f->compressed ? QuoteVersionField(f->name + ".lzr") : std::string()) + "," +
           f->digest + "\r\n";
  }
  out += url + "/files/,files," + url + "/packed/\r\n";
  if (!notice.empty()) out += "notice," + QuoteVersionField(notice) + "\r\n";

  // Read it back as the updater will, signature line included.
  const size_t signed_size =
      out.size() + std::strlen(kSignatureLinePrefix) + 2 * 64 + 2;  // hex of 64 bytes, CR LF
  if (signed_size > kVersionListBytes) {
    *error = "the version list would be " + std::to_string(signed_size) +
             " bytes; the updater reads only the first " + std::to_string(kVersionListBytes);
    return false;
  }
  const VersionList list(out);
  for (size_t i = 0; i < order.size(); ++i) {
    const auto entry = list.Find(order[i]->name);
    if (!entry || entry->line != i) {
      *error = "the updater would read another line for \"" + order[i]->name +
               "\" (its name is contained in an earlier line)";
      return false;
    }
  }
  const auto bases = list.Bases();
  if (!bases || bases->plain != url + "/files/" || bases->compressed != url + "/packed/") {
    *error = "a file line would be taken for the download addresses";
    return false;
  }
  // What the updater will show, against what was asked for.
  const std::string shown =
      notice.empty() ? std::string() : SplitVersionFields("x," + QuoteVersionField(notice))[1];
  if (list.Notice() != shown) {
    *error = "a file line would be shown as the notice (a file name contains \"notice\")";
    return false;
  }
  *text = std::move(out);
  return true;
}

PublishResult PublishSite(const PublishOptions& options) {
  PublishResult result;
  auto fail = [&result](std::string error) {
    result.ok = false;
    result.error = std::move(error);
    return result;
  };
  const std::string url = SiteUrl(options.site_url);
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
    return fail("the site address must begin with http:// or https://");
  }
  if (options.secret_key.size() != kSigningSecretKeyBytes) {
    return fail("no signing key: give the key file made by ksp-publish --new-key");
  }
  std::error_code ec;
  if (!fs::is_directory(options.source_dir, ec)) {
    return fail("not a folder: " + options.source_dir);
  }

  std::map<std::string, double> listed_versions;
  const fs::path versions_file = fs::path(options.source_dir) / kVersionsFileName;
  std::string error;
  if (fs::exists(versions_file, ec) && !ReadVersionsFile(versions_file, &listed_versions, &error)) {
    return fail(error);
  }

  std::vector<fs::path> sources;
  for (fs::directory_iterator it(options.source_dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == kVersionsFileName || name.front() == '.') continue;
    if (it->is_regular_file(ec)) sources.push_back(it->path());
  }
  if (ec) return fail("cannot list " + options.source_dir + ": " + ec.message());
  if (sources.empty()) return fail("nothing to publish in " + options.source_dir);
  std::sort(sources.begin(), sources.end());

  const fs::path site(options.site_dir);
  for (const char* sub : {"IPAddresses", "list", "files", "packed"}) {
    fs::create_directories(site / sub, ec);
    if (ec) return fail("cannot create " + (site / sub).string() + ": " + ec.message());
  }

  CLZRW1Codec codec;
  for (const fs::path& source : sources) {
    PublishedFile file;
    file.name = source.filename().string();
    if (file.name.find_first_of("\"\r\n") != std::string::npos) {
      return fail("a version list cannot name \"" + file.name + "\"");
    }
    const ModuleInfo module = ProbeModule(source.string());
    const auto listed = listed_versions.find(file.name);
    if (module.version && listed != listed_versions.end() &&
        FormatVersion(*module.version) != FormatVersion(listed->second)) {
      return fail(file.name + " says it is version " + FormatVersion(*module.version) + ", " +
                  kVersionsFileName + " says " + FormatVersion(listed->second));
    }
    if (module.version) {
      file.version = *module.version;
    } else if (listed != listed_versions.end()) {
      file.version = listed->second;
    } else {
      return fail("no version for " + file.name + ": add \"" + file.name + " <version>\" to " +
                  versions_file.string());
    }

    std::string bytes;
    if (!ReadFile(source, &bytes)) return fail("cannot read " + source.string());
    file.bytes = bytes.size();
    file.digest = Sha256Hex(bytes);
    if (!WriteWhole(site / "files" / file.name, bytes, &error)) return fail(error);

    const fs::path packed = site / "packed" / (file.name + ".lzr");
    const fs::path temp = site / "packed" / ("." + file.name + ".lzr.tmp");
    std::string destination = temp.string();
    if (codec.ProcessFile(source.string(), &destination, 1, 1) == 1 &&
        HoldsCompressedStream(temp)) {
      fs::rename(temp, packed, ec);
      if (ec) return fail("cannot write " + packed.string() + ": " + ec.message());
      file.compressed = true;
      file.packed_bytes = fs::file_size(packed, ec);
    } else {
      fs::remove(temp, ec);
      fs::remove(packed, ec);  // an older container must not be offered
    }
    result.files.push_back(file);
  }

  std::string list;
  if (!BuildVersionList(result.files, url, options.notice, &list, &error)) return fail(error);
  const std::string address = url + "/list/";
  for (const char* page : {"FileIPs.aspx", "FileIPs.asp"}) {
    if (!WriteWhole(site / "IPAddresses" / page, address, &error)) return fail(error);
  }
  const std::string signed_list = SignVersionList(list, options.secret_key);
  if (!WriteWhole(site / "list" / "index.html", signed_list, &error)) return fail(error);
  result.ok = true;
  return result;
}

bool NewKeyFile(const std::string& path, std::string* public_key_hex, std::string* error) {
  const SigningKey key = NewSigningKey();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = "cannot create " + path + ": " + std::strerror(errno) +
             (errno == EEXIST ? " (a key is never overwritten)" : "");
    return false;
  }
  const std::string text = HexOf(key.secret_key) + "\n";
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    ::unlink(path.c_str());
    *error = "cannot write " + path;
    return false;
  }
  *public_key_hex = HexOf(key.public_key);
  return true;
}

bool ReadKeyFile(const std::string& path, std::string* secret_key, std::string* error) {
  std::string text;
  if (!ReadFile(path, &text)) {
    *error = "cannot read the key file " + path;
    return false;
  }
  const std::optional<std::string> key = BytesOfHex(Trimmed(text));
  if (!key || key->size() != kSigningSecretKeyBytes) {
    *error = path + " holds no signing key (expected 128 hex digits)";
    return false;
  }
  *secret_key = *key;
  return true;
}

}  // namespace quarry::publish
