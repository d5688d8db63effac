#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <vector>

#include "ByteStream.h"
#include "Cluster.h"
#include "GlowbakeError.h"
#include "WorkRanges.h"

// Results of every process's share on their way to process 0, while they
// are computed. Another process sends each run of its finished items as the
// run completes; process 0 takes what has arrived whenever it pumps, and the
// rest at the end, then each process's record `Head` (counts and the like).
// `pack(item, out)` writes an item's results on the process that computed
// it; `unpack(item, in)` reads them on process 0. Alone, nothing is sent.
//
// Every process opens the same streams in the same order, and each stream
// has a tag of its own, so a process that has finished one stream and gone
// on to the next can never have its bytes taken for the first.
int nextStreamTag();

template <typename Head, typename Pack, typename Unpack>
struct ShareStream {
    const Cluster& cluster;
    const std::vector<int>& mine;  // this process's items, in the order finished
    Pack pack;
    Unpack unpack;
    std::vector<char> finished;
    std::size_t ready = 0, sent = 0, pieceItems = 1;
    std::vector<std::vector<int>> items;  // process 0: each process's items
    std::vector<std::size_t> received;
    std::vector<std::vector<char>> heads;
    int headsIn = 0;
    int tag = 0;
    long long bytes = 0;  // sent (or, on process 0, received)
    std::exception_ptr failure;  // met while pumping, inside the caller's threads

    ShareStream(const Cluster& c, const WorkShares& shares, const std::vector<int>& m, Pack p, Unpack u)
        : cluster(c), mine(m), pack(p), unpack(u), finished(m.size(), 0), tag(nextStreamTag()) {
        pieceItems = std::max<std::size_t>(1, mine.size() / 64);
        if (!cluster.spread() || !cluster.first()) return;
        for (int r = 0; r < cluster.size; ++r) items.push_back(r == 0 ? std::vector<int>() : shares.itemsOf(r));
        received.assign(static_cast<std::size_t>(cluster.size), 0);
        heads.assign(static_cast<std::size_t>(cluster.size), std::vector<char>());
    }

    // Under the caller's lock: the item at `position` of `mine` is done.
    // Returns how many from the start are.
    long long markDone(std::size_t position) {
        finished[position] = 1;
        while (ready < finished.size() && finished[ready]) ++ready;
        return static_cast<long long>(ready);
    }
    // On the thread that talks to the others, outside the lock: sends the
    // runs finished among the first `readyNow`, or takes what has arrived.
    // What fails here is kept for finish(), which is outside the threads.
    void pump(long long readyNow) {
        if (!cluster.spread() || failure) return;
        try {
            if (cluster.first()) {
                while (takeOne(false)) {
                }
            } else {
                sendReady(static_cast<std::size_t>(readyNow), false);
            }
        } catch (...) {
            failure = std::current_exception();
        }
    }
    // After this process's share: the others send the rest and their
    // record; process 0 takes everything and calls take(r, head) for every
    // process in order (its own `head` first).
    template <typename Take>
    void finish(const Head& head, Take take) {
        if (failure) std::rethrow_exception(failure);
        if (!cluster.spread()) {
            take(0, head);
            return;
        }
        if (!cluster.first()) {
            sendReady(mine.size(), true);
            ByteWriter last;
            last.put(-1);
            last.put(head);
            cluster.postToFirst(cluster.user, tag, last.bytes);
            cluster.flushToFirst(cluster.user);
            return;
        }
        while (headsIn < cluster.size - 1) takeOne(true);
        take(0, head);
        for (int r = 1; r < cluster.size; ++r) take(r, ByteReader(heads[static_cast<std::size_t>(r)]).get<Head>());
    }

private:
    void sendReady(std::size_t readyNow, bool all) {
        while (sent < readyNow && (readyNow - sent >= pieceItems || all)) {
            const std::size_t end = std::min(readyNow, sent + pieceItems);
            ByteWriter piece;
            piece.put(static_cast<int>(end - sent));
            for (std::size_t k = sent; k < end; ++k) pack(mine[k], piece);
            bytes += static_cast<long long>(piece.bytes.size());
            cluster.postToFirst(cluster.user, tag, piece.bytes);
            sent = end;
        }
    }
    bool takeOne(bool wait) {
        int from = -1;
        std::vector<char> piece;
        if (!cluster.takeAny(cluster.user, tag, wait, &from, piece)) return false;
        bytes += static_cast<long long>(piece.size());
        if (from <= 0 || from >= cluster.size) throw GlowbakeError("a message came from an unknown process");
        ByteReader in(piece);
        const int count = in.get<int>();
        const std::size_t r = static_cast<std::size_t>(from);
        if (count < 0) {
            if (received[r] != items[r].size() || !heads[r].empty())
                throw GlowbakeError("a message between processes came out of order");
            heads[r].assign(piece.begin() + static_cast<std::ptrdiff_t>(in.at), piece.end());
            ++headsIn;
            return true;
        }
        if (static_cast<std::size_t>(count) > items[r].size() - received[r])
            throw GlowbakeError("a message between processes holds the wrong items");
        for (int k = 0; k < count; ++k) unpack(items[r][received[r]++], in);
        if (!in.atEnd()) throw GlowbakeError("a message between processes holds more than it should");
        return true;
    }
};

template <typename Head, typename Pack, typename Unpack>
ShareStream<Head, Pack, Unpack> shareStream(const Cluster& cluster, const WorkShares& shares,
                                            const std::vector<int>& mine, Pack pack, Unpack unpack) {
    return ShareStream<Head, Pack, Unpack>(cluster, shares, mine, pack, unpack);
}
