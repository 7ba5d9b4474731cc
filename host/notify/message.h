// What alerts are made of besides their transport: a plain-text mail, the digest
// of what was sent, and the record of what a job has delivered already.
#pragma once

#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace host::notify {

// A plain UTF-8 mail: the headers From, To, Subject (encoded when not ASCII),
// Date (of `date`, in the process's zone), Message-ID (unique to the call, at
// the sender's domain), MIME-Version, Content-Type text/plain; charset=utf-8,
// Content-Transfer-Encoding 8bit, then the body, lines ended by CRLF.
std::string ComposeMail(const std::string& from, const std::vector<std::string>& to,
                        const std::string& subject, const std::string& body, std::time_t date);

// A short digest of `text` (16 hex digits) that tells one finding set from another.
std::string Digest(std::string_view text);

// The deliveries of a job's alerts, one per period and channel ("webhook",
// "mail"), with the digest of what was delivered; kept as a text file of lines
// "PERIOD CHANNEL DIGEST" (PERIOD without blanks).
class DeliveryRecord {
  public:
    // Reads the file; a missing file is an empty record, a line that is not
    // one is skipped. False (last error set) when the file cannot be read.
    bool Load(const char* path);
    // Writes the file atomically; false (last error set) on failure, the file
    // then unchanged.
    bool Save(const char* path) const;

    // The digest delivered for the period on the channel; empty when none.
    std::string Delivered(const std::string& period, const std::string& channel) const;
    void SetDelivered(const std::string& period, const std::string& channel,
                      const std::string& digest);

  private:
    std::map<std::string, std::string> digests_;  // "PERIOD CHANNEL" -> digest
};

}  // namespace host::notify
