/* The plug-in's one export beyond the ten: what a file manager never asks of
   an archive, for the command-line host. A versioned table of C functions
   (stdcall on 32-bit Windows, as the ten are); nothing thrown crosses it, and
   every string it gives is NUL-ended UTF-8 unless said otherwise, owned by
   the plug-in until the handle it came from is closed.

   A host asks for the table by version and gets null when the plug-in does
   not speak that version; a host that finds no such export at all knows only
   the archive operations. */
#ifndef FB2PACK_BOOK_API_H
#define FB2PACK_BOOK_API_H

#include <stddef.h>

#if defined(_WIN32)
#define FB2API_CALL __stdcall
#else
#define FB2API_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define FB2API_VERSION 1
/* The name the table is exported under. */
#define FB2API_EXPORT_NAME "FB2PackBookApi"

/* A book read once: its elements, its references, and with
   FB2API_DECODE_ENTRIES every entry's content decoded. Results are the
   archive operations' result codes (0 for success, E_EREAD, ...). */
typedef struct tFb2Book tFb2Book;

/* OpenBook flags. FB2API_FOR_CHANGE holds the book against every other
   rewrite until the handle is closed, so that the one change made through
   the handle (DeleteEntries or SetCover) is made to the book read. */
enum { FB2API_DECODE_ENTRIES = 1, FB2API_FOR_CHANGE = 2 };

/* How an entry's content ended (bits of tFb2Entry.Damage). */
enum {
  FB2API_CUT = 1,       /* the book ends inside its start tag or content */
  FB2API_STRAY = 2,     /* a '<' that starts no end tag stopped it */
  FB2API_FOREIGN = 4,   /* it holds bytes that are not base64 */
  FB2API_AFTER_END = 8, /* symbols follow the padding that ended it */
  FB2API_LONE = 16      /* a single symbol is left over at its end */
};

typedef struct {
  const char* Name; /* as the listing names it (the code page's bytes on Windows) */
  const char* Id;   /* UTF-8 */
  /* Where the code page cannot spell the name (Name then has "_" in place of
     what it lacks): the name in UTF-8 with every character, unique among
     these; null where Name says it all. */
  const char* FullName;
  int Shown;              /* the first element of its id: the one a reference shows */
  int Cover, SourceCover; /* the image the title's, or the source book's, cover page shows */
  int Referenced;         /* the text shows it */
  /* Known with FB2API_DECODE_ENTRIES only: */
  const char* ContentType; /* as the element writes it; "" when it has none */
  unsigned long long Size; /* decoded bytes */
  const unsigned char* Head;
  size_t HeadLength; /* the first decoded bytes, enough to tell an image's kind */
  unsigned Damage;   /* FB2API_CUT ... */
} tFb2Entry;

typedef struct {
  size_t Entries;
  size_t Missing;    /* ids the text shows that no element has, each once, in text order */
  int Ends;          /* the root's end tag stands where adding puts images: not cut short */
  int HasCover;      /* the title names a cover: Cover */
  const char* Cover; /* its id, UTF-8; "" when none */
} tFb2BookFacts;

/* Decoded bytes of entry number entry, in order, in pieces of any size. */
typedef void(FB2API_CALL* tFb2BytesFn)(void* context, size_t entry, const unsigned char* bytes, size_t n);

/* What SetCover did (FB2API_COVER_*). */
enum {
  FB2API_COVER_DONE = 0,
  FB2API_COVER_ALREADY = 1,  /* the entry is the cover; the book is unchanged */
  FB2API_COVER_NO_ENTRY = 2, /* no entry is listed under the name */
  FB2API_COVER_SHADOWED = 3, /* an earlier element has its id: a reference would show that one */
  FB2API_COVER_NO_TITLE = 4, /* the book has no <title-info> to name its cover in */
  FB2API_COVER_UNCLEAR = 5,  /* cannot tell where the book names its cover */
  FB2API_COVER_FAILED = 6    /* Code says why, as the archive operations' result codes do */
};

typedef struct {
  int Result;
  int Code;
  const char* Name;     /* the entry made the cover, as the listing names it */
  const char* FullName; /* and with every character, as tFb2Entry's; null where Name says it all */
  const char* Id;       /* its id, UTF-8 */
  int Added, Replaced;  /* the file given was added, or replaced an entry of its name */
  int HadCover;         /* the book named a cover before: OldCover */
  const char* OldCover;
  int NewCoverPage; /* a cover page was written into title-info */
} tFb2CoverOutcome;

typedef struct {
  unsigned Version; /* FB2API_VERSION of the table given */
  size_t Size;      /* sizeof the table given */

  /* Where a book's root tag must stand: within this many first bytes. */
  size_t(FB2API_CALL* RootTagWithin)(void);
  /* The largest book that is rewritten, and that a rewrite may make. */
  unsigned long long(FB2API_CALL* MaxBookSize)(void);
  /* Nonzero when a file's first bytes are a book's head, by the rule
     CanYouHandleThisFile applies. */
  int(FB2API_CALL* IsBookHead)(const char* head, size_t n);
  /* The most a book grows by when a file of fileSize bytes is added under
     an id of idLength bytes. */
  unsigned long long(FB2API_CALL* AddedElementSize)(size_t idLength, unsigned long long fileSize);
  /* The kind of image the first bytes show: label ("PNG") and content type,
     static strings; 0 when they show no known kind. */
  int(FB2API_CALL* SniffImage)(const unsigned char* head, size_t n, const char** label, const char** contentType);

  /* Reads the book at path (as the archive operations take paths) once. With
     FB2API_DECODE_ENTRIES every entry is decoded, each piece handed to
     bytes (when given) as it is. *book is null unless the result is 0. */
  int(FB2API_CALL* OpenBook)(const char* path, unsigned flags, tFb2BytesFn bytes, void* context, tFb2Book** book);
  void(FB2API_CALL* CloseBook)(tFb2Book* book);
  void(FB2API_CALL* BookFacts)(const tFb2Book* book, tFb2BookFacts* facts);
  /* Entry i (below facts.Entries), in book order; 0 past the end. */
  int(FB2API_CALL* Entry)(const tFb2Book* book, size_t i, tFb2Entry* entry);
  /* Missing reference i (below facts.Missing); null past the end. */
  const char*(FB2API_CALL* Missing)(const tFb2Book* book, size_t i);

  /* Deletes the entries of a name list (as DeleteFiles takes it) from a book
     opened for change, with nothing read again: DeleteFiles' result. */
  int(FB2API_CALL* DeleteEntries)(tFb2Book* book, const char* nameList);
  /* Makes an entry of a book opened for change its cover: the entry listed
     under entry, or, with file, that file added first as adding does
     (replacing the entry of its name). One rewrite: on disk the old book or
     the new one with its new cover, whole. The outcome's strings live until
     the handle is closed. */
  void(FB2API_CALL* SetCover)(tFb2Book* book, const char* file, const char* entry, tFb2CoverOutcome* outcome);
} tFb2Api;

/* The table of the version asked for; null when the plug-in has none. */
typedef const tFb2Api*(FB2API_CALL* tFb2ApiFn)(unsigned version);

#ifdef FB2PACK_BUILDING_PLUGIN
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    const tFb2Api* FB2API_CALL FB2PackBookApi(unsigned version);
#endif

#ifdef __cplusplus
}
#endif

#endif
