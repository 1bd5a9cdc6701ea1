#include "kes_sim/announcement.h"

#include "kes_sdk/byte_order.h"

#include <algorithm>
#include <cctype>

namespace kes_sim {
namespace {

using Bytes = std::vector<uint8_t>;
using kes_sdk::appendU16;
using kes_sdk::appendU32;
using kes_sdk::readU16;

constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypePtr = 12;
constexpr uint16_t kTypeTxt = 16;
constexpr uint16_t kTypeSrv = 33;
constexpr uint16_t kTypeAny = 255;
constexpr uint16_t kClassIn = 1;
constexpr uint16_t kCacheFlush = 0x8000;
constexpr uint16_t kResponseFlags = 0x8400;
constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxName = 255;
constexpr uint32_t kOneShotTtl = 10;
constexpr uint32_t kHostTtl = 120;
constexpr uint32_t kServiceTtl = 4500;

const std::vector<std::string> kServiceType = {"_udp", "_udp", "local"};

struct Question {
    std::vector<std::string> labels;
    uint16_t type = 0;
};

// A name at `pos`, compressed or not; `pos` ends past it. Every pointer must lead further
// back than the last one, so a hostile packet cannot make it loop.
bool readName(const uint8_t* data, size_t size, size_t& pos, std::vector<std::string>& labels)
{
    labels.clear();
    size_t at = pos;
    size_t limit = pos;
    size_t length = 1;
    bool jumped = false;
    for (;;) {
        if (at >= size)
            return false;
        const uint8_t len = data[at];
        if ((len & 0xC0) == 0xC0) {
            if (at + 1 >= size)
                return false;
            const size_t target = (size_t(len & 0x3F) << 8) | data[at + 1];
            if (!jumped)
                pos = at + 2;
            if (target >= limit)
                return false;
            jumped = true;
            at = limit = target;
            continue;
        }
        if (len & 0xC0)
            return false;
        if (len == 0)
            break;
        length += len + 1;
        if (at + 1 + len > size || length > kMaxName)
            return false;
        labels.emplace_back(reinterpret_cast<const char*>(data + at + 1), len);
        at += 1 + len;
    }
    if (!jumped)
        pos = at + 1;
    return true;
}

bool sameName(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    const auto sameLabel = [](const std::string& x, const std::string& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](char c, char d) {
            return std::tolower(static_cast<unsigned char>(c)) == std::tolower(static_cast<unsigned char>(d));
        });
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameLabel);
}

bool readQuestions(const uint8_t* data, size_t size, std::vector<Question>& questions)
{
    if (size < kHeaderSize)
        return false;
    const uint16_t flags = readU16(data + 2);
    // Responses and opcodes other than a standard query are not for us.
    if ((flags & 0x8000) || (flags & 0x7800))
        return false;
    const uint16_t count = readU16(data + 4);
    size_t pos = kHeaderSize;
    for (uint16_t i = 0; i < count; ++i) {
        Question question;
        if (!readName(data, size, pos, question.labels) || pos + 4 > size)
            return false;
        question.type = readU16(data + pos);
        pos += 4;
        questions.push_back(std::move(question));
    }
    return true;
}

void appendName(Bytes& out, const std::vector<std::string>& labels)
{
    for (const std::string& label : labels) {
        out.push_back(uint8_t(label.size()));
        out.insert(out.end(), label.begin(), label.end());
    }
    out.push_back(0);
}

class Response {
public:
    Response(const Announcement& a, bool one_shot) : a_(a), one_shot_(one_shot)
    {
        instance_ = {a.instance};
        instance_.insert(instance_.end(), kServiceType.begin(), kServiceType.end());
        host_ = {a.host, "local"};
    }

    const std::vector<std::string>& instance() const { return instance_; }
    const std::vector<std::string>& host() const { return host_; }

    // Each record goes out once, in the answers when asked for, else with the additionals.
    void add(uint16_t type, bool asked)
    {
        auto& section = asked ? answers_ : additionals_;
        if (std::find(answers_.begin(), answers_.end(), type) == answers_.end()
            && std::find(additionals_.begin(), additionals_.end(), type) == additionals_.end())
            section.push_back(type);
    }

    Bytes encode(uint16_t id, const std::vector<Question>& echoed) const
    {
        Bytes out;
        appendU16(out, one_shot_ ? id : 0);
        appendU16(out, kResponseFlags);
        appendU16(out, uint16_t(one_shot_ ? echoed.size() : 0));
        appendU16(out, uint16_t(answers_.size()));
        appendU16(out, 0);
        appendU16(out, uint16_t(additionals_.size()));
        if (one_shot_) {
            for (const Question& question : echoed) {
                appendName(out, question.labels);
                appendU16(out, question.type);
                appendU16(out, kClassIn);
            }
        }
        for (uint16_t type : answers_)
            record(out, type);
        for (uint16_t type : additionals_)
            record(out, type);
        return out;
    }

private:
    void record(Bytes& out, uint16_t type) const
    {
        const bool shared = type == kTypePtr;
        appendName(out, type == kTypePtr ? kServiceType : type == kTypeA ? host_ : instance_);
        appendU16(out, type);
        appendU16(out, uint16_t(kClassIn | (shared || one_shot_ ? 0 : kCacheFlush)));
        const bool hostRecord = type == kTypeA || type == kTypeSrv;
        appendU32(out, one_shot_ ? kOneShotTtl : hostRecord ? kHostTtl : kServiceTtl);
        Bytes data;
        if (type == kTypePtr) {
            appendName(data, instance_);
        } else if (type == kTypeSrv) {
            appendU16(data, 0);
            appendU16(data, 0);
            appendU16(data, a_.port);
            appendName(data, host_);
        } else if (type == kTypeTxt) {
            data.push_back(0);
        } else {
            appendU32(data, a_.ipv4);
        }
        appendU16(out, uint16_t(data.size()));
        out.insert(out.end(), data.begin(), data.end());
    }

    const Announcement& a_;
    const bool one_shot_;
    std::vector<std::string> instance_;
    std::vector<std::string> host_;
    std::vector<uint16_t> answers_;
    std::vector<uint16_t> additionals_;
};

} // namespace

Bytes answerQuery(const Announcement& announcement, const uint8_t* data, size_t size, bool one_shot)
{
    std::vector<Question> questions;
    if (!readQuestions(data, size, questions))
        return {};
    Response response(announcement, one_shot);
    const auto asks = [](const Question& q, uint16_t type) { return q.type == type || q.type == kTypeAny; };
    bool answered = false;
    const auto answer = [&](uint16_t type) {
        response.add(type, true);
        answered = true;
    };
    for (const Question& q : questions) {
        if (sameName(q.labels, kServiceType) && asks(q, kTypePtr)) {
            answer(kTypePtr);
        } else if (sameName(q.labels, response.instance())) {
            for (uint16_t type : {kTypeSrv, kTypeTxt})
                if (asks(q, type))
                    answer(type);
        } else if (sameName(q.labels, response.host()) && asks(q, kTypeA)) {
            answer(kTypeA);
        }
    }
    if (!answered)
        return {};
    // What a browser would ask next: the service's records and its host's address.
    for (uint16_t type : {kTypeSrv, kTypeTxt, kTypeA})
        response.add(type, false);
    return response.encode(readU16(data), questions);
}

} // namespace kes_sim
