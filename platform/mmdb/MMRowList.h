// An immutable list of stored rows in id order, kept in shared chunks, so
// that the list after a re-read shares every chunk the change left alone
// with the list before it: making it copies only the chunks where rows
// changed, and two lists are compared chunk by chunk (a shared chunk is
// equal without a look at its rows). A re-read that changes a few objects
// of a kind therefore costs what they cost, not what the kind holds.
//
// It reads as a vector of rows: size, [], back, random-access iterators.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

template <class Row>
class MMRowList {
 public:
  using Chunk = std::vector<Row>;
  using ChunkPtr = std::shared_ptr<const Chunk>;
  // Rows per chunk of a list made whole; a chunk rebuilt by a merge holds
  // up to twice as many before it is split.
  static constexpr std::size_t kChunkRows = 64;

  MMRowList() = default;
  // The rows, in id order, cut into chunks as they are made: the rows are
  // moved, not copied, and the lists read after a change share the chunks
  // with this one. (Kept as one chunk, the first change after a read of
  // every row would copy every row, compare every row with its copy and
  // free the old ones: a change that costs what the installation holds.)
  explicit MMRowList(std::vector<Row> rows) {
    if (rows.size() <= kChunkRows) {
      if (!rows.empty()) add(std::make_shared<const Chunk>(std::move(rows)));
      return;
    }
    const std::size_t count = (rows.size() + kChunkRows - 1) / kChunkRows;
    m_chunks.reserve(count);
    m_starts.reserve(count);
    for (std::size_t at = 0; at < rows.size(); at += kChunkRows) {
      const std::size_t end = std::min(rows.size(), at + kChunkRows);
      add(std::make_shared<const Chunk>(std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(at)),
                                        std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(end))));
    }
  }
  // A list of the chunks (none empty), each in id order and all in order.
  explicit MMRowList(std::vector<ChunkPtr> chunks) {
    m_starts.reserve(chunks.size());
    m_chunks.reserve(chunks.size());
    for (ChunkPtr& chunk : chunks)
      if (chunk && !chunk->empty()) add(std::move(chunk));
    m_uniform = m_chunks.empty() || m_chunks.back()->size() <= kChunkRows;
    for (std::size_t c = 0; c + 1 < m_chunks.size(); ++c) m_uniform = m_uniform && m_chunks[c]->size() == kChunkRows;
  }

  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  const std::vector<ChunkPtr>& chunks() const { return m_chunks; }

  const Row& operator[](std::size_t i) const {
    const std::size_t c = chunkOf(i);
    return (*m_chunks[c])[i - m_starts[c]];
  }
  const Row& front() const { return m_chunks.front()->front(); }
  const Row& back() const { return m_chunks.back()->back(); }

  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Row;
    using difference_type = std::ptrdiff_t;
    using pointer = const Row*;
    using reference = const Row&;

    const_iterator() = default;
    const_iterator(const MMRowList* list, std::size_t index) : m_list(list) { seek(index); }

    reference operator*() const { return (*m_list->m_chunks[m_chunk])[m_offset]; }
    pointer operator->() const { return &**this; }
    reference operator[](difference_type n) const { return *(*this + n); }
    const_iterator& operator++() {
      ++m_index;
      if (++m_offset == m_list->m_chunks[m_chunk]->size()) {
        ++m_chunk;
        m_offset = 0;
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

    // At the first row of a chunk, that chunk (else null): a walk over two
    // lists skips a chunk both share.
    const Chunk* chunkHere() const {
      return m_offset == 0 && m_chunk < m_list->m_chunks.size() ? m_list->m_chunks[m_chunk].get() : nullptr;
    }
    // Past the rest of the current chunk.
    void skipChunk() { seek(m_list->m_starts[m_chunk] + m_list->m_chunks[m_chunk]->size()); }

   private:
    void seek(std::size_t index) {
      m_index = index;
      if (index >= m_list->m_size) {
        m_chunk = m_list->m_chunks.size();
        m_offset = 0;
        return;
      }
      m_chunk = m_list->chunkOf(index);
      m_offset = index - m_list->m_starts[m_chunk];
    }

    const MMRowList* m_list = nullptr;
    std::size_t m_index = 0;
    std::size_t m_chunk = 0;
    std::size_t m_offset = 0;
  };

  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, m_size); }

 private:
  void add(ChunkPtr chunk) {
    m_starts.push_back(m_size);
    m_size += chunk->size();
    m_chunks.push_back(std::move(chunk));
  }
  std::size_t chunkOf(std::size_t i) const {
    if (m_chunks.size() <= 1) return 0;
    if (m_uniform) return i / kChunkRows;
    return static_cast<std::size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), i) - m_starts.begin()) - 1;
  }

  std::vector<ChunkPtr> m_chunks;
  std::vector<std::size_t> m_starts;
  std::size_t m_size = 0;
  bool m_uniform = true;  // every chunk but the last holds kChunkRows rows, the last no more
};

// The list `before` with the rows of the ids `changed` (sorted) taken out
// and the rows `fresh` (in id order; moved from) put in their places: the
// chunks neither touches are shared with `before`.
template <class Row, class IdOf>
MMRowList<Row> mergedRows(const MMRowList<Row>& before, std::vector<Row>& fresh, const std::vector<int>& changed,
                          IdOf idOf) {
  using List = MMRowList<Row>;
  using Chunk = typename List::Chunk;
  std::vector<typename List::ChunkPtr> out;
  const auto& chunks = before.chunks();
  out.reserve(chunks.size() + 1);
  // A rebuilt chunk goes out in pieces of kChunkRows when it grew past
  // twice that; one left small joins a small neighbour before it (rows
  // added one by one at the end come together so).
  auto put = [&](Chunk rows) {
    if (rows.empty()) return;
    if (rows.size() > 2 * List::kChunkRows) {
      for (std::size_t at = 0; at < rows.size(); at += List::kChunkRows) {
        const std::size_t end = std::min(rows.size(), at + List::kChunkRows);
        out.push_back(std::make_shared<const Chunk>(std::make_move_iterator(rows.begin() + at),
                                                    std::make_move_iterator(rows.begin() + end)));
      }
      return;
    }
    if (!out.empty() && out.back()->size() + rows.size() <= List::kChunkRows / 2) {
      Chunk joined;
      joined.reserve(out.back()->size() + rows.size());
      joined.insert(joined.end(), out.back()->begin(), out.back()->end());
      joined.insert(joined.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
      out.back() = std::make_shared<const Chunk>(std::move(joined));
      return;
    }
    out.push_back(std::make_shared<const Chunk>(std::move(rows)));
  };
  auto f = fresh.begin();
  auto ch = changed.begin();
  for (std::size_t c = 0; c < chunks.size(); ++c) {
    // A chunk stands for the ids from its first up to the next chunk's
    // first (the first chunk for every lower id, the last up to its own
    // last: rows after it make chunks of their own).
    const bool last = c + 1 == chunks.size();
    const int bound = last ? idOf(chunks[c]->back()) : idOf(chunks[c + 1]->front());
    auto within = [&](int id) { return last ? id <= bound : id < bound; };
    auto chEnd = ch;
    while (chEnd != changed.end() && within(*chEnd)) ++chEnd;
    auto fEnd = f;
    while (fEnd != fresh.end() && within(idOf(*fEnd))) ++fEnd;
    if (ch == chEnd && f == fEnd) {
      out.push_back(chunks[c]);
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
  put(Chunk(std::make_move_iterator(f), std::make_move_iterator(fresh.end())));
  return List(std::move(out));
}

