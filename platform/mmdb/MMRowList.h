// An immutable list of stored rows in id order, kept in shared chunks of
// rows and the chunks in shared groups, so that the list after a re-read
// shares every group and chunk the change left alone with the list before
// it: making it copies only the groups (a pointer a chunk) and the chunks
// (their rows) where rows changed, and two lists are compared group by
// group and chunk by chunk (one both share is equal without a look at its
// rows). A re-read that changes a few objects of a kind therefore costs
// what they cost and a step a group, not what the kind holds: 100,000 rows
// are 1,563 chunks but 25 groups.
//
// It reads as a vector of rows: size, [], back, random-access iterators;
// `find` gives the row of an id and `walkRows` walks two lists side by side.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

// Rows read one by one, put into chunks of MMRowList's size as they come,
// so that a list made of every row of a kind needs no vector of them all
// (one of megabytes, made again at every doubling as the rows come) nor a
// move of each row into its chunk afterwards. Reads as the reads fill it:
// clear, reserve, emplace_back, size.
// Rows a chunk of a list made whole holds.
inline constexpr std::size_t kMMRowChunkRows = 64;

template <class Row>
class MMRowChunks {
 public:
  void clear() {
    m_chunks.clear();
    m_size = 0;
  }
  void reserve(std::size_t rows) { m_chunks.reserve((rows + kMMRowChunkRows - 1) / kMMRowChunkRows); }
  Row& emplace_back() {
    if (m_chunks.empty() || m_chunks.back().size() == kMMRowChunkRows) m_chunks.emplace_back().reserve(kMMRowChunkRows);
    ++m_size;
    return m_chunks.back().emplace_back();
  }
  std::size_t size() const { return m_size; }
  // The rows in one vector (moved out).
  std::vector<Row> rows() && {
    std::vector<Row> all;
    all.reserve(m_size);
    for (std::vector<Row>& chunk : m_chunks)
      all.insert(all.end(), std::make_move_iterator(chunk.begin()), std::make_move_iterator(chunk.end()));
    return all;
  }
  std::vector<std::vector<Row>>& chunks() { return m_chunks; }

 private:
  std::vector<std::vector<Row>> m_chunks;
  std::size_t m_size = 0;
};

template <class Row>
class MMRowList {
 public:
  using Chunk = std::vector<Row>;
  using ChunkPtr = std::shared_ptr<const Chunk>;
  // Rows per chunk, and chunks per group, of a list made whole; a chunk or
  // group rebuilt by a merge holds up to twice as many before it is split.
  static constexpr std::size_t kChunkRows = kMMRowChunkRows;
  static constexpr std::size_t kGroupChunks = 64;

  // A run of chunks (none empty), each in id order and all in order, with
  // the row each starts at within the group.
  class Group {
   public:
    explicit Group(std::vector<ChunkPtr> chunks) : m_chunks(std::move(chunks)) {
      m_starts.reserve(m_chunks.size());
      for (const ChunkPtr& chunk : m_chunks) {
        m_starts.push_back(m_size);
        m_size += chunk->size();
      }
      for (std::size_t c = 0; c < m_chunks.size(); ++c)
        m_uniform = m_uniform && (c + 1 == m_chunks.size() ? m_chunks[c]->size() <= kChunkRows
                                                           : m_chunks[c]->size() == kChunkRows);
    }
    const std::vector<ChunkPtr>& chunks() const { return m_chunks; }
    std::size_t size() const { return m_size; }
    std::size_t start(std::size_t chunk) const { return m_starts[chunk]; }
    const Row& front() const { return m_chunks.front()->front(); }
    const Row& back() const { return m_chunks.back()->back(); }
    bool uniform() const { return m_uniform; }
    // The chunk that holds the group's row `i`.
    std::size_t chunkOf(std::size_t i) const {
      if (m_chunks.size() <= 1) return 0;
      if (m_uniform) return i / kChunkRows;
      return static_cast<std::size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), i) - m_starts.begin()) - 1;
    }

   private:
    std::vector<ChunkPtr> m_chunks;
    std::vector<std::size_t> m_starts;
    std::size_t m_size = 0;
    bool m_uniform = true;  // every chunk but the last holds kChunkRows rows, the last no more
  };
  using GroupPtr = std::shared_ptr<const Group>;

  MMRowList() = default;
  // The rows, in id order, cut into chunks and groups as they are made:
  // the rows are moved, not copied, and the lists read after a change share
  // the chunks with this one. (Kept as one chunk, the first change after a
  // read of every row would copy every row, compare every row with its copy
  // and free the old ones: a change that costs what the installation holds.)
  explicit MMRowList(std::vector<Row> rows) : MMRowList(chunked(std::move(rows))) {}
  // The rows as they were read into chunks, each chunk taken as it is.
  explicit MMRowList(MMRowChunks<Row> rows) {
    std::vector<GroupPtr> groups;
    std::vector<ChunkPtr> chunks;
    for (Chunk& rowsOfChunk : rows.chunks()) {
      if (rowsOfChunk.empty()) continue;
      chunks.push_back(std::make_shared<const Chunk>(std::move(rowsOfChunk)));
      if (chunks.size() == kGroupChunks) {
        groups.push_back(std::make_shared<const Group>(std::move(chunks)));
        chunks.clear();
      }
    }
    if (!chunks.empty()) groups.push_back(std::make_shared<const Group>(std::move(chunks)));
    setGroups(std::move(groups));
  }
  // A list of the groups (none empty), each in id order and all in order.
  explicit MMRowList(std::vector<GroupPtr> groups) { setGroups(std::move(groups)); }

  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  const std::vector<GroupPtr>& groups() const { return m_groups; }

  const Row& operator[](std::size_t i) const {
    const std::size_t g = groupOf(i);
    const Group& group = *m_groups[g];
    const std::size_t r = i - m_groupStarts[g];
    const std::size_t c = group.chunkOf(r);
    return (*group.chunks()[c])[r - group.start(c)];
  }
  const Row& front() const { return m_groups.front()->front(); }
  const Row& back() const { return m_groups.back()->back(); }

  // The row whose id (`idOf`) is `id`, or null: the group, then the chunk
  // that would hold it, then the row within it.
  template <class IdOf>
  const Row* find(int id, IdOf idOf) const {
    auto group = std::upper_bound(m_groups.begin(), m_groups.end(), id,
                                  [&](int v, const GroupPtr& g) { return v < idOf(g->front()); });
    if (group == m_groups.begin()) return nullptr;
    const std::vector<ChunkPtr>& chunks = (*(group - 1))->chunks();
    auto chunk = std::upper_bound(chunks.begin(), chunks.end(), id,
                                  [&](int v, const ChunkPtr& c) { return v < idOf(c->front()); });
    const Chunk& held = **(chunk - 1);  // the group's first row is at most `id`
    auto it = std::lower_bound(held.begin(), held.end(), id, [&](const Row& r, int v) { return idOf(r) < v; });
    return it != held.end() && idOf(*it) == id ? &*it : nullptr;
  }

  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Row;
    using difference_type = std::ptrdiff_t;
    using pointer = const Row*;
    using reference = const Row&;

    const_iterator() = default;
    const_iterator(const MMRowList* list, std::size_t index) : m_list(list) { seek(index); }

    reference operator*() const { return (*m_list->m_groups[m_group]->chunks()[m_chunk])[m_offset]; }
    pointer operator->() const { return &**this; }
    reference operator[](difference_type n) const { return *(*this + n); }
    const_iterator& operator++() {
      ++m_index;
      const Group& group = *m_list->m_groups[m_group];
      if (++m_offset == group.chunks()[m_chunk]->size()) {
        m_offset = 0;
        if (++m_chunk == group.chunks().size()) {
          m_chunk = 0;
          ++m_group;
        }
      }
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator was = *this;
      ++*this;
      return was;
    }
    const_iterator& operator--() {
      seek(m_index - 1);
      return *this;
    }
    const_iterator& operator+=(difference_type n) {
      seek(static_cast<std::size_t>(static_cast<difference_type>(m_index) + n));
      return *this;
    }
    const_iterator& operator-=(difference_type n) { return *this += -n; }
    friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
    friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
    friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.m_index) - static_cast<difference_type>(b.m_index);
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.m_index == b.m_index; }
    friend bool operator!=(const const_iterator& a, const const_iterator& b) { return a.m_index != b.m_index; }
    friend bool operator<(const const_iterator& a, const const_iterator& b) { return a.m_index < b.m_index; }
    friend bool operator>(const const_iterator& a, const const_iterator& b) { return b < a; }
    friend bool operator<=(const const_iterator& a, const const_iterator& b) { return !(b < a); }
    friend bool operator>=(const const_iterator& a, const const_iterator& b) { return !(a < b); }

   private:
    void seek(std::size_t index) {
      m_index = index;
      m_chunk = 0;
      m_offset = 0;
      if (index >= m_list->m_size) {
        m_group = m_list->m_groups.size();
        return;
      }
      m_group = m_list->groupOf(index);
      const Group& group = *m_list->m_groups[m_group];
      const std::size_t r = index - m_list->m_groupStarts[m_group];
      m_chunk = group.chunkOf(r);
      m_offset = r - group.start(m_chunk);
    }

    const MMRowList* m_list = nullptr;
    std::size_t m_index = 0;
    std::size_t m_group = 0;
    std::size_t m_chunk = 0;
    std::size_t m_offset = 0;
  };

  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, m_size); }

 private:
  static constexpr std::size_t kGroupRows = kChunkRows * kGroupChunks;

  static MMRowChunks<Row> chunked(std::vector<Row> rows) {
    MMRowChunks<Row> chunks;
    chunks.reserve(rows.size());
    for (Row& row : rows) chunks.emplace_back() = std::move(row);
    return chunks;
  }

  void setGroups(std::vector<GroupPtr> groups) {
    m_groups.reserve(groups.size());
    m_groupStarts.reserve(groups.size());
    for (GroupPtr& group : groups) {
      if (!group || group->size() == 0) continue;
      m_groupStarts.push_back(m_size);
      m_size += group->size();
      m_groups.push_back(std::move(group));
    }
    // Row i is then in group i / kGroupRows and its chunk (i % kGroupRows) / kChunkRows.
    for (std::size_t g = 0; g < m_groups.size(); ++g)
      m_uniform = m_uniform && m_groups[g]->uniform() && m_groups[g]->chunks().size() <= kGroupChunks &&
                  (g + 1 == m_groups.size() || m_groups[g]->size() == kGroupRows);
  }
  std::size_t groupOf(std::size_t i) const {
    if (m_groups.size() <= 1) return 0;
    if (m_uniform) return i / kGroupRows;
    return static_cast<std::size_t>(std::upper_bound(m_groupStarts.begin(), m_groupStarts.end(), i) -
                                    m_groupStarts.begin()) -
           1;
  }

  std::vector<GroupPtr> m_groups;
  std::vector<std::size_t> m_groupStarts;
  std::size_t m_size = 0;
  bool m_uniform = true;  // every group full but the last, every chunk full but the last
};

// Walks two lists in id order side by side: `differ(id)` for an id only
// one holds, `both(b, n)` for an id both hold. A group or chunk of rows
// both lists share is passed over unread: a re-read shares what it did not
// change, so that what the walk costs beyond the rows that changed is a
// comparison a group (and a chunk, in the groups that changed).
template <class Row, class IdOf, class Differ, class Both>
void walkRows(const MMRowList<Row>& before, const MMRowList<Row>& now, IdOf idOf, Differ differ, Both both) {
  if (&before == &now) return;
  using List = MMRowList<Row>;
  // A place in a list: its group, the chunk within it and the row within that.
  struct Place {
    const std::vector<typename List::GroupPtr>& groups;
    std::size_t group = 0;
    std::size_t chunk = 0;
    std::size_t row = 0;
    bool done() const { return group == groups.size(); }
    const typename List::ChunkPtr& chunkHere() const { return groups[group]->chunks()[chunk]; }
    const Row& here() const { return (*chunkHere())[row]; }
    void nextChunk() {
      row = 0;
      if (++chunk == groups[group]->chunks().size()) {
        chunk = 0;
        ++group;
      }
    }
    void next() {
      if (++row == chunkHere()->size()) nextChunk();
    }
  };
  Place b{before.groups()};
  Place n{now.groups()};
  while (!b.done() || !n.done()) {
    if (!b.done() && !n.done() && b.row == 0 && n.row == 0) {
      if (b.chunk == 0 && n.chunk == 0 && b.groups[b.group] == n.groups[n.group]) {
        ++b.group;
        ++n.group;
        continue;
      }
      if (b.chunkHere() == n.chunkHere()) {
        b.nextChunk();
        n.nextChunk();
        continue;
      }
    }
    if (n.done() || (!b.done() && idOf(b.here()) < idOf(n.here()))) {
      differ(idOf(b.here()));
      b.next();
    } else if (b.done() || idOf(n.here()) < idOf(b.here())) {
      differ(idOf(n.here()));
      n.next();
    } else {
      both(b.here(), n.here());
      b.next();
      n.next();
    }
  }
}

// The list `before` with the rows of the ids `changed` (sorted) taken out
// and the rows `fresh` (in id order; moved from) put in their places: the
// groups and chunks neither touches are shared with `before`.
template <class Row, class IdOf>
MMRowList<Row> mergedRows(const MMRowList<Row>& before, std::vector<Row>& fresh, const std::vector<int>& changed,
                          IdOf idOf) {
  using List = MMRowList<Row>;
  using Chunk = typename List::Chunk;
  using ChunkPtr = typename List::ChunkPtr;
  using Group = typename List::Group;
  std::vector<typename List::GroupPtr> out;
  std::vector<ChunkPtr> pending;  // the chunks of the groups being rebuilt
  const auto& groups = before.groups();
  out.reserve(groups.size() + 1);
  // A rebuilt chunk goes out in pieces of kChunkRows when it grew past
  // twice that; one left small joins a small neighbour before it (rows
  // added one by one at the end come together so).
  auto put = [&](Chunk rows) {
    if (rows.empty()) return;
    if (rows.size() > 2 * List::kChunkRows) {
      for (std::size_t at = 0; at < rows.size(); at += List::kChunkRows) {
        const std::size_t end = std::min(rows.size(), at + List::kChunkRows);
        pending.push_back(std::make_shared<const Chunk>(std::make_move_iterator(rows.begin() + at),
                                                        std::make_move_iterator(rows.begin() + end)));
      }
      return;
    }
    if (!pending.empty() && pending.back()->size() + rows.size() <= List::kChunkRows / 2) {
      Chunk joined;
      joined.reserve(pending.back()->size() + rows.size());
      joined.insert(joined.end(), pending.back()->begin(), pending.back()->end());
      joined.insert(joined.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
      pending.back() = std::make_shared<const Chunk>(std::move(joined));
      return;
    }
    pending.push_back(std::make_shared<const Chunk>(std::move(rows)));
  };
  // The rebuilt chunks go out as groups, the same way: in pieces of
  // kGroupChunks past twice that, a small run joined to a small group
  // before it.
  auto flush = [&] {
    if (pending.empty()) return;
    if (pending.size() > 2 * List::kGroupChunks) {
      for (std::size_t at = 0; at < pending.size(); at += List::kGroupChunks) {
        const std::size_t end = std::min(pending.size(), at + List::kGroupChunks);
        out.push_back(std::make_shared<const Group>(
            std::vector<ChunkPtr>(pending.begin() + static_cast<std::ptrdiff_t>(at),
                                  pending.begin() + static_cast<std::ptrdiff_t>(end))));
      }
    } else if (!out.empty() && out.back()->chunks().size() + pending.size() <= List::kGroupChunks / 2) {
      std::vector<ChunkPtr> joined(out.back()->chunks());
      joined.insert(joined.end(), pending.begin(), pending.end());
      out.back() = std::make_shared<const Group>(std::move(joined));
    } else {
      out.push_back(std::make_shared<const Group>(std::move(pending)));
    }
    pending.clear();
  };
  auto f = fresh.begin();
  auto ch = changed.begin();
  // A group (a chunk) stands for the ids from its first up to the next
  // one's first, the first for every lower id. The last group stands for
  // every higher id too, so that rows after it can join its last chunk;
  // its last chunk stands for the ids up to its own last: rows after it
  // make chunks of their own.
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const bool lastGroup = g + 1 == groups.size();
    const int groupBound = lastGroup ? idOf(groups[g]->back()) : idOf(groups[g + 1]->front());
    auto inGroup = [&](int id) { return lastGroup || id < groupBound; };
    if ((ch == changed.end() || !inGroup(*ch)) && (f == fresh.end() || !inGroup(idOf(*f)))) {
      flush();
      out.push_back(groups[g]);
      continue;
    }
    const std::vector<ChunkPtr>& chunks = groups[g]->chunks();
    for (std::size_t c = 0; c < chunks.size(); ++c) {
      const bool last = c + 1 == chunks.size();
      const int bound = last ? groupBound : idOf(chunks[c + 1]->front());
      auto within = [&](int id) { return last && lastGroup ? id <= bound : id < bound; };
      auto chEnd = ch;
      while (chEnd != changed.end() && within(*chEnd)) ++chEnd;
      auto fEnd = f;
      while (fEnd != fresh.end() && within(idOf(*fEnd))) ++fEnd;
      if (ch == chEnd && f == fEnd) {
        pending.push_back(chunks[c]);
        continue;
      }
      Chunk rows;
      rows.reserve(chunks[c]->size() + static_cast<std::size_t>(fEnd - f));
      for (const Row& row : *chunks[c]) {
        const int id = idOf(row);
        for (; f != fEnd && idOf(*f) < id; ++f) rows.push_back(std::move(*f));
        if (!std::binary_search(ch, chEnd, id)) rows.push_back(row);
      }
      for (; f != fEnd; ++f) rows.push_back(std::move(*f));
      ch = chEnd;
      put(std::move(rows));
    }
  }
  put(Chunk(std::make_move_iterator(f), std::make_move_iterator(fresh.end())));
  flush();
  return List(std::move(out));
}
