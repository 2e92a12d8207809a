/* The nginx module's way into the C++ host: nginx compiles its modules as
 * C with -Werror, so ngx_http_mervane_module.c sees only this C interface.
 *
 * A job is one request's mapping through the filter library. The event loop
 * maps every request with its own job, reused from request to request so
 * that its buffers are not allocated anew each time, with may_defer set; when
 * that answers MERVANE_ELSEWHERE (the filter must parse a configuration text),
 * a copy of the job goes to a thread of the pool, which maps it again with
 * may_defer clear, and the loop reads the results once the thread is done. A
 * job is used by one thread at a time; its results stay valid until it maps
 * again or is freed.
 */

#ifndef MERVANE_NGINX_NGINX_HOST_H_
#define MERVANE_NGINX_NGINX_HOST_H_

#include <stddef.h>
#include <sys/socket.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Native paths, NUL-terminated; NULL when not set. */
typedef struct {
  const char* library;
  const char* registry;
  const char* drives;
} mervane_settings_t;

typedef struct {
  const char* data;
  size_t len;
} mervane_text_t;

/* What the filter reported of the mapped request's site. */
typedef struct {
  mervane_text_t document_root;
  mervane_text_t context_prefix; /* empty when none */
  mervane_text_t context_document_root;
  mervane_text_t entry;
  mervane_text_t user_dir; /* empty unless a safe name */
} mervane_site_t;

typedef enum {
  MERVANE_UNMAPPED,
  MERVANE_MAPPED,
  MERVANE_BAD_URL,   /* 400, logged as information */
  MERVANE_BAD_PATH,  /* 400, logged as an error */
  MERVANE_FAILED,    /* 500 */
  MERVANE_ELSEWHERE, /* map it again where it may block */
} mervane_outcome_t;

typedef struct mervane_job_s mervane_job_t;

/* Writes into error (size bytes, NUL-terminated) why the module cannot
 * start as configured, naming the directive to fix, and returns 0; returns
 * 1 when it can. mapping: some server has "mervane on". The check runs in a
 * process of its own that takes user_name, uid and gid when change_user is
 * set. */
int mervane_start_up_check(const mervane_settings_t* settings, int mapping,
                           int change_user, const char* user_name, unsigned uid,
                           unsigned gid, char* error, size_t size);

/* Loads the library into this worker once. Returns 1 with its description
 * in message, or 0 with why it cannot be hosted. */
int mervane_load(const mervane_settings_t* settings, char* message,
                 size_t size);
int mervane_loaded(void);

/* What a request gives the filter. */
typedef struct {
  mervane_text_t uri;
  const struct sockaddr* local; /* the connection's local address */
  socklen_t local_len;
  mervane_text_t host; /* data NULL when the request named none */
  mervane_text_t document_root;
  const char* drives; /* NULL when not set */
  int trace;          /* the trace is logged */
} mervane_request_t;

/* The event loop's job, holding the request; NULL when out of memory. Only
 * the loop may call it. REQUIRES: mervane_loaded(). */
mervane_job_t* mervane_loop_job(const mervane_request_t* request);
/* A job of its own holding job's request, for a thread; NULL when out of
 * memory. */
mervane_job_t* mervane_job_copy(const mervane_job_t* job);
void mervane_job_free(mervane_job_t* job);

/* REQUIRES: mervane_loaded(). */
mervane_outcome_t mervane_job_map(mervane_job_t* job, int may_defer);

/* After MERVANE_MAPPED: the location root and the number of leading URL
 * bytes it replaces (see location_root.h). */
mervane_text_t mervane_job_root(const mervane_job_t* job);
size_t mervane_job_alias(const mervane_job_t* job);
/* After MERVANE_MAPPED: 1 with the site filled when the filter reported
 * one, else 0. */
int mervane_job_site(const mervane_job_t* job, mervane_site_t* site);
/* The trace of the call and the reason of a refusal, for the log. */
const char* mervane_job_trace(const mervane_job_t* job);
const char* mervane_job_reason(const mervane_job_t* job);

#ifdef __cplusplus
}
#endif

#endif /* MERVANE_NGINX_NGINX_HOST_H_ */
