/* ngx_http_mervane_module: hosts an ISAPI URL-map filter library
 * (mervane.so) in nginx and lets it choose the file that serves each
 * request, as IIS lets it.
 *
 *   mervane on|off         map this server's requests (http, server;
 *                          default off)
 *   mervane_library PATH   the library (http)
 *   mervane_registry DIR   MERVANE_REGISTRY as the library must see it
 *   mervane_drives DIR     MERVANE_DRIVES as the library must see it
 *
 * The master only checks, at the end of the http block (so that "nginx -t"
 * checks too), in a short-lived process of its own that takes the "user"
 * directive's user, that the library loads and that the configuration it
 * will read can be read; every worker loads the library once after it has
 * become that user.
 *
 * A REWRITE-phase handler maps each request's URI, after the location was
 * found and again after every internal redirect (index, try_files,
 * error_page). nginx never takes a request's file name: static files,
 * index, try_files, $request_filename and $document_root all rebuild it
 * from the location's root. A mapped request therefore gets its own copy of
 * the location's core configuration whose root is the mapped folder and
 * whose alias counts the URL bytes that folder replaces. That copy relies
 * on the layout of ngx_http_core_loc_conf_t, an internal struct: it is
 * right only for the nginx ABI the module is built against (Debian's
 * nginx-abi-1.22.1-7, which the package depends on) and must be checked
 * again for every other nginx version. Locations with "alias" are never
 * mapped, as Apache's Alias URLs are not.
 *
 * When the filter must parse a configuration text, it asks to do so
 * elsewhere; the request then waits, without stopping the worker's event
 * loop, while a thread of the pool "default" maps it.
 *
 * Variables (each of a request the filter did not map is what nginx gives):
 *   $mervane_script_filename        the mapped file of $fastcgi_script_name
 *                                   ($document_root$fastcgi_script_name)
 *   $mervane_document_root          the host's "/" folder ($document_root)
 *   $mervane_context_prefix         the URL prefix that a folder exception,
 *                                   a common path or SchemeB's first segment
 *                                   mapped (empty)
 *   $mervane_context_document_root  its folder, else the host's
 *                                   ($document_root)
 *   $mervane_entry                  the host entry's key (empty)
 *   $mervane_userdir                its UserDir when a plain name (empty)
 */

#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>

#include "nginx_host.h"

typedef struct {
  ngx_str_t library;
  ngx_str_t registry;
  ngx_str_t drives;
  ngx_int_t script_name_index;
  ngx_int_t document_root_index;
#if (NGX_THREADS)
  ngx_thread_pool_t* thread_pool; /* NULL while no server maps */
#endif
} ngx_http_mervane_main_conf_t;

typedef struct {
  ngx_flag_t enable;
} ngx_http_mervane_srv_conf_t;

typedef enum {
  MERVANE_STARTED,
  MERVANE_PENDING, /* a thread maps the job: the loop leaves it alone */
  MERVANE_DONE,    /* the thread's outcome waits to be applied */
  MERVANE_APPLIED
} ngx_http_mervane_state_e;

/* A request's mapping; made anew after every internal redirect, which
 * clears the modules' contexts, and for every other URI or location
 * ("rewrite ... last" keeps the context). Its texts are in the request's
 * pool: the loop's job maps the next request. */
typedef struct {
  ngx_http_mervane_state_e state;
  ngx_str_t uri;             /* what it mapped */
  void** loc_conf;           /* the request's configuration once applied */
  mervane_job_t* job;        /* the thread's, while PENDING and DONE */
  mervane_outcome_t outcome; /* written by the thread while PENDING */
  unsigned mapped : 1;
  unsigned site_reported : 1;
  ngx_str_t root;
  size_t alias;
  mervane_site_t site;
} ngx_http_mervane_ctx_t;

typedef enum {
  MERVANE_VAR_SCRIPT_FILENAME,
  MERVANE_VAR_DOCUMENT_ROOT,
  MERVANE_VAR_CONTEXT_PREFIX,
  MERVANE_VAR_CONTEXT_DOCUMENT_ROOT,
  MERVANE_VAR_ENTRY,
  MERVANE_VAR_USERDIR
} ngx_http_mervane_var_e;

static ngx_int_t ngx_http_mervane_add_variables(ngx_conf_t* cf);
static ngx_int_t ngx_http_mervane_init(ngx_conf_t* cf);
static void* ngx_http_mervane_create_main_conf(ngx_conf_t* cf);
static void* ngx_http_mervane_create_srv_conf(ngx_conf_t* cf);
static char* ngx_http_mervane_merge_srv_conf(ngx_conf_t* cf, void* parent,
                                             void* child);
static char* ngx_http_mervane_set_path(ngx_conf_t* cf, ngx_command_t* cmd,
                                       void* conf);
static ngx_int_t ngx_http_mervane_init_process(ngx_cycle_t* cycle);
static ngx_int_t ngx_http_mervane_variable(ngx_http_request_t* r,
                                           ngx_http_variable_value_t* v,
                                           uintptr_t data);

static ngx_command_t ngx_http_mervane_commands[] = {
    {ngx_string("mervane"),
     NGX_HTTP_MAIN_CONF | NGX_HTTP_SRV_CONF | NGX_CONF_FLAG,
     ngx_conf_set_flag_slot, NGX_HTTP_SRV_CONF_OFFSET,
     offsetof(ngx_http_mervane_srv_conf_t, enable), NULL},
    {ngx_string("mervane_library"), NGX_HTTP_MAIN_CONF | NGX_CONF_TAKE1,
     ngx_http_mervane_set_path, NGX_HTTP_MAIN_CONF_OFFSET,
     offsetof(ngx_http_mervane_main_conf_t, library), NULL},
    {ngx_string("mervane_registry"), NGX_HTTP_MAIN_CONF | NGX_CONF_TAKE1,
     ngx_http_mervane_set_path, NGX_HTTP_MAIN_CONF_OFFSET,
     offsetof(ngx_http_mervane_main_conf_t, registry), NULL},
    {ngx_string("mervane_drives"), NGX_HTTP_MAIN_CONF | NGX_CONF_TAKE1,
     ngx_http_mervane_set_path, NGX_HTTP_MAIN_CONF_OFFSET,
     offsetof(ngx_http_mervane_main_conf_t, drives), NULL},
    ngx_null_command};

static ngx_http_module_t ngx_http_mervane_module_ctx = {
    ngx_http_mervane_add_variables,    /* preconfiguration */
    ngx_http_mervane_init,             /* postconfiguration */
    ngx_http_mervane_create_main_conf, /* create main configuration */
    NULL,                              /* init main configuration */
    ngx_http_mervane_create_srv_conf,  /* create server configuration */
    ngx_http_mervane_merge_srv_conf,   /* merge server configuration */
    NULL,                              /* create location configuration */
    NULL                               /* merge location configuration */
};

ngx_module_t ngx_http_mervane_module = {
    NGX_MODULE_V1,
    &ngx_http_mervane_module_ctx,  /* module context */
    ngx_http_mervane_commands,     /* module directives */
    NGX_HTTP_MODULE,               /* module type */
    NULL,                          /* init master */
    NULL,                          /* init module */
    ngx_http_mervane_init_process, /* init process */
    NULL,                          /* init thread */
    NULL,                          /* exit thread */
    NULL,                          /* exit process */
    NULL,                          /* exit master */
    NGX_MODULE_V1_PADDING};

/* URI-dependent: never cached for the request. */
#define MERVANE_VARIABLE(name, kind)                         \
  {                                                          \
    ngx_string(name), NULL, ngx_http_mervane_variable, kind, \
        NGX_HTTP_VAR_NOCACHEABLE, 0                          \
  }

static ngx_http_variable_t ngx_http_mervane_vars[] = {
    MERVANE_VARIABLE("mervane_script_filename", MERVANE_VAR_SCRIPT_FILENAME),
    MERVANE_VARIABLE("mervane_document_root", MERVANE_VAR_DOCUMENT_ROOT),
    MERVANE_VARIABLE("mervane_context_prefix", MERVANE_VAR_CONTEXT_PREFIX),
    MERVANE_VARIABLE("mervane_context_document_root",
                     MERVANE_VAR_CONTEXT_DOCUMENT_ROOT),
    MERVANE_VARIABLE("mervane_entry", MERVANE_VAR_ENTRY),
    MERVANE_VARIABLE("mervane_userdir", MERVANE_VAR_USERDIR),
    ngx_http_null_variable};

/* ---- Configuration ------------------------------------------------------ */

static void* ngx_http_mervane_create_main_conf(ngx_conf_t* cf) {
  /* Zeroed: paths unset, no thread pool. */
  return ngx_pcalloc(cf->pool, sizeof(ngx_http_mervane_main_conf_t));
}

static void* ngx_http_mervane_create_srv_conf(ngx_conf_t* cf) {
  ngx_http_mervane_srv_conf_t* conf;

  conf = ngx_pcalloc(cf->pool, sizeof(ngx_http_mervane_srv_conf_t));
  if (conf == NULL) {
    return NULL;
  }
  conf->enable = NGX_CONF_UNSET;
  return conf;
}

static char* ngx_http_mervane_merge_srv_conf(ngx_conf_t* cf, void* parent,
                                             void* child) {
  ngx_http_mervane_srv_conf_t* prev = parent;
  ngx_http_mervane_srv_conf_t* conf = child;

  ngx_conf_merge_value(conf->enable, prev->enable, 0);
  return NGX_CONF_OK;
}

/* A path relative to nginx's prefix, as load_module takes one, kept
 * NUL-terminated for the library's side. */
static char* ngx_http_mervane_set_path(ngx_conf_t* cf, ngx_command_t* cmd,
                                       void* conf) {
  ngx_str_t* field = (ngx_str_t*)((char*)conf + cmd->offset);
  ngx_str_t* value = cf->args->elts;
  ngx_str_t path = value[1];

  if (field->data != NULL) {
    return "is duplicate";
  }
  if (ngx_conf_full_name(cf->cycle, &path, 0) != NGX_OK) {
    return NGX_CONF_ERROR;
  }
  field->data = ngx_pnalloc(cf->pool, path.len + 1);
  if (field->data == NULL) {
    return NGX_CONF_ERROR;
  }
  ngx_memcpy(field->data, path.data, path.len);
  field->data[path.len] = '\0';
  field->len = path.len;
  return NGX_CONF_OK;
}

static mervane_settings_t ngx_http_mervane_settings(
    ngx_http_mervane_main_conf_t* mmcf) {
  mervane_settings_t settings;

  settings.library = (const char*)mmcf->library.data;
  settings.registry = (const char*)mmcf->registry.data;
  settings.drives = (const char*)mmcf->drives.data;
  return settings;
}

/* True when some server has "mervane on". */
static ngx_flag_t ngx_http_mervane_maps(ngx_conf_t* cf) {
  ngx_http_core_main_conf_t* cmcf;
  ngx_http_core_srv_conf_t** cscf;
  ngx_http_mervane_srv_conf_t* mscf;
  ngx_uint_t s;

  cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
  cscf = cmcf->servers.elts;
  for (s = 0; s < cmcf->servers.nelts; s++) {
    mscf = cscf[s]->ctx->srv_conf[ngx_http_mervane_module.ctx_index];
    if (mscf->enable) {
      return 1;
    }
  }
  return 0;
}

/* Checks, as the workers' user, what the workers will meet. The "user"
 * directive precedes the http block in every usual nginx.conf; without one
 * a master run by root takes nginx's built-in user, as its workers will. */
static ngx_int_t ngx_http_mervane_check(ngx_conf_t* cf,
                                        ngx_http_mervane_main_conf_t* mmcf,
                                        ngx_flag_t mapping) {
  ngx_core_conf_t* ccf;
  mervane_settings_t settings = ngx_http_mervane_settings(mmcf);
  const char* user_name = NULL;
  unsigned uid = 0, gid = 0;
  int change_user = 0;
  char error[1024];

  ccf = (ngx_core_conf_t*)ngx_get_conf(cf->cycle->conf_ctx, ngx_core_module);
  if (geteuid() == 0) {
    change_user = 1;
    if (ccf->user != (ngx_uid_t)NGX_CONF_UNSET_UINT) {
      user_name = ccf->username;
      uid = ccf->user;
      gid = ccf->group;
    } else {
      struct passwd* pwd = getpwnam(NGX_USER);
      struct group* grp = getgrnam(NGX_GROUP);

      if (pwd == NULL || grp == NULL) {
        ngx_conf_log_error(NGX_LOG_EMERG, cf, 0,
                           "mervane: nginx's user \"" NGX_USER
                           "\" or group \"" NGX_GROUP "\" does not exist");
        return NGX_ERROR;
      }
      user_name = NGX_USER;
      uid = pwd->pw_uid;
      gid = grp->gr_gid;
    }
  }
  if (!mervane_start_up_check(&settings, mapping, change_user, user_name, uid,
                              gid, error, sizeof error)) {
    ngx_conf_log_error(NGX_LOG_EMERG, cf, 0, "mervane: %s", error);
    return NGX_ERROR;
  }
  return NGX_OK;
}

static ngx_int_t ngx_http_mervane_add_variables(ngx_conf_t* cf) {
  ngx_http_variable_t *v, *var;
  ngx_http_mervane_main_conf_t* mmcf;
  ngx_str_t script_name = ngx_string("fastcgi_script_name");
  ngx_str_t document_root = ngx_string("document_root");

  for (v = ngx_http_mervane_vars; v->name.len; v++) {
    var = ngx_http_add_variable(cf, &v->name, v->flags);
    if (var == NULL) {
      return NGX_ERROR;
    }
    var->get_handler = v->get_handler;
    var->data = v->data;
  }
  /* $fastcgi_script_name has no hash entry: only its index finds it. */
  mmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_mervane_module);
  mmcf->script_name_index = ngx_http_get_variable_index(cf, &script_name);
  mmcf->document_root_index = ngx_http_get_variable_index(cf, &document_root);
  if (mmcf->script_name_index == NGX_ERROR ||
      mmcf->document_root_index == NGX_ERROR) {
    return NGX_ERROR;
  }
  return NGX_OK;
}

/* ---- Mapping ------------------------------------------------------------ */

/* What the request gives the filter; NGX_ERROR when the location's root
 * cannot be had. */
static ngx_int_t ngx_http_mervane_request(ngx_http_request_t* r,
                                          ngx_http_mervane_main_conf_t* mmcf,
                                          mervane_request_t* request) {
  ngx_http_core_loc_conf_t* clcf;
  ngx_connection_t* c = r->connection;
  ngx_str_t path;
  size_t root_len;

  if (ngx_connection_local_sockaddr(c, NULL, 0) != NGX_OK) {
    return NGX_ERROR;
  }
  /* Only a root with variables needs them evaluated (never an alias). */
  clcf = ngx_http_get_module_loc_conf(r, ngx_http_core_module);
  if (clcf->root_lengths == NULL) {
    path = clcf->root;
    root_len = clcf->root.len;
  } else if (ngx_http_map_uri_to_path(r, &path, &root_len, 0) == NULL) {
    return NGX_ERROR;
  }
  request->uri.data = (const char*)r->uri.data;
  request->uri.len = r->uri.len;
  request->local = c->local_sockaddr;
  request->local_len = c->local_socklen;
  request->host.data =
      r->headers_in.server.len ? (const char*)r->headers_in.server.data : NULL;
  request->host.len = r->headers_in.server.len;
  request->document_root.data = (const char*)path.data;
  request->document_root.len = root_len;
  request->drives = (const char*)mmcf->drives.data;
#if (NGX_DEBUG)
  request->trace = (c->log->log_level & NGX_LOG_DEBUG_HTTP) != 0;
#else
  request->trace = 0;
#endif
  return NGX_OK;
}

/* text, copied into the request's pool; NGX_ERROR when out of memory. */
static ngx_int_t ngx_http_mervane_keep(ngx_http_request_t* r,
                                       mervane_text_t* text) {
  u_char* copy = ngx_pnalloc(r->pool, text->len);

  if (copy == NULL) {
    return NGX_ERROR;
  }
  ngx_memcpy(copy, text->data, text->len);
  text->data = (const char*)copy;
  return NGX_OK;
}

/* The results of a mapped request, copied into its context. */
static ngx_int_t ngx_http_mervane_keep_mapping(ngx_http_request_t* r,
                                               ngx_http_mervane_ctx_t* ctx,
                                               const mervane_job_t* job) {
  mervane_text_t root = mervane_job_root(job);
  mervane_site_t* site = &ctx->site;

  if (ngx_http_mervane_keep(r, &root) != NGX_OK) {
    return NGX_ERROR;
  }
  ctx->root.data = (u_char*)root.data;
  ctx->root.len = root.len;
  ctx->alias = mervane_job_alias(job);
  ctx->site_reported = mervane_job_site(job, site) != 0;
  if (ctx->site_reported &&
      (ngx_http_mervane_keep(r, &site->document_root) != NGX_OK ||
       ngx_http_mervane_keep(r, &site->context_prefix) != NGX_OK ||
       ngx_http_mervane_keep(r, &site->context_document_root) != NGX_OK ||
       ngx_http_mervane_keep(r, &site->entry) != NGX_OK ||
       ngx_http_mervane_keep(r, &site->user_dir) != NGX_OK)) {
    return NGX_ERROR;
  }
  ctx->mapped = 1;
  return NGX_OK;
}

/* Gives the mapped request its own core location configuration, whose
 * root is the mapped folder (see the header comment). */
static ngx_int_t ngx_http_mervane_set_root(ngx_http_request_t* r,
                                           ngx_http_mervane_ctx_t* ctx) {
  ngx_http_core_loc_conf_t *clcf, *copy;
  void** loc_conf;

  clcf = ngx_http_get_module_loc_conf(r, ngx_http_core_module);
  copy = ngx_palloc(r->pool, sizeof(ngx_http_core_loc_conf_t));
  loc_conf = ngx_palloc(r->pool, sizeof(void*) * ngx_http_max_module);
  if (copy == NULL || loc_conf == NULL) {
    return NGX_ERROR;
  }
  *copy = *clcf;
  copy->root = ctx->root;
  copy->root_lengths = NULL;
  copy->root_values = NULL;
  copy->alias = ctx->alias;
  ngx_memcpy(loc_conf, r->loc_conf, sizeof(void*) * ngx_http_max_module);
  loc_conf[ngx_http_core_module.ctx_index] = copy;
  r->loc_conf = loc_conf;
  return NGX_OK;
}

/* The job's outcome as the phase handler's result. */
static ngx_int_t ngx_http_mervane_apply(ngx_http_request_t* r,
                                        ngx_http_mervane_ctx_t* ctx,
                                        const mervane_job_t* job) {
  ngx_log_t* log = r->connection->log;

  ctx->state = MERVANE_APPLIED;
  ctx->loc_conf = r->loc_conf;
  ngx_log_debug1(NGX_LOG_DEBUG_HTTP, log, 0, "mervane: %s",
                 mervane_job_trace(job));
  switch (ctx->outcome) {
    case MERVANE_MAPPED:
      if (ngx_http_mervane_keep_mapping(r, ctx, job) != NGX_OK ||
          ngx_http_mervane_set_root(r, ctx) != NGX_OK) {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
      }
      ctx->loc_conf = r->loc_conf;
      return NGX_DECLINED;
    case MERVANE_BAD_URL:
      ngx_log_error(NGX_LOG_INFO, log, 0, "mervane: %s",
                    mervane_job_reason(job));
      return NGX_HTTP_BAD_REQUEST;
    case MERVANE_BAD_PATH:
      ngx_log_error(NGX_LOG_ERR, log, 0, "mervane: %s",
                    mervane_job_reason(job));
      return NGX_HTTP_BAD_REQUEST;
    case MERVANE_UNMAPPED:
      return NGX_DECLINED;
    default:
      ngx_log_error(NGX_LOG_ERR, log, 0, "mervane: %s",
                    mervane_job_reason(job));
      return NGX_HTTP_INTERNAL_SERVER_ERROR;
  }
}

#if (NGX_THREADS)

/* On a thread of the pool: the only code that touches the job meanwhile. */
static void ngx_http_mervane_thread(void* data, ngx_log_t* log) {
  ngx_http_mervane_ctx_t* ctx = *(ngx_http_mervane_ctx_t**)data;

  (void)log;
  ctx->outcome = mervane_job_map(ctx->job, 0);
}

/* Back in the loop: the request resumes its phases where it waited. */
static void ngx_http_mervane_thread_done(ngx_event_t* ev) {
  ngx_http_request_t* r = ev->data;
  ngx_connection_t* c = r->connection;
  ngx_http_mervane_ctx_t* ctx;

  ngx_http_set_log_request(c->log, r);
  ctx = ngx_http_get_module_ctx(r, ngx_http_mervane_module);
  ctx->state = MERVANE_DONE;
  r->main->blocked--;
  r->aio = 0;
  r->write_event_handler(r);
  ngx_http_run_posted_requests(c);
}

static void ngx_http_mervane_free_job(void* data) { mervane_job_free(data); }

/* Hands a copy of the loop's job to the pool; the request waits, blocked so
 * that nothing frees it before the thread is done. */
static ngx_int_t ngx_http_mervane_post(ngx_http_request_t* r,
                                       ngx_http_mervane_main_conf_t* mmcf,
                                       ngx_http_mervane_ctx_t* ctx,
                                       const mervane_job_t* loop_job) {
  ngx_thread_task_t* task;
  ngx_pool_cleanup_t* cleanup;

  task = ngx_thread_task_alloc(r->pool, sizeof(ngx_http_mervane_ctx_t*));
  cleanup = ngx_pool_cleanup_add(r->pool, 0);
  if (task == NULL || cleanup == NULL) {
    return NGX_ERROR;
  }
  ctx->job = mervane_job_copy(loop_job);
  if (ctx->job == NULL) {
    return NGX_ERROR;
  }
  cleanup->handler = ngx_http_mervane_free_job;
  cleanup->data = ctx->job;
  *(ngx_http_mervane_ctx_t**)task->ctx = ctx;
  task->handler = ngx_http_mervane_thread;
  task->event.data = r;
  task->event.handler = ngx_http_mervane_thread_done;
  if (ngx_thread_task_post(mmcf->thread_pool, task) != NGX_OK) {
    return NGX_ERROR;
  }
  ctx->state = MERVANE_PENDING;
  r->main->blocked++;
  r->aio = 1;
  return NGX_OK;
}

#endif

static ngx_int_t ngx_http_mervane_handler(ngx_http_request_t* r) {
  ngx_http_mervane_srv_conf_t* mscf;
  ngx_http_mervane_main_conf_t* mmcf;
  ngx_http_core_loc_conf_t* clcf;
  ngx_http_mervane_ctx_t* ctx;
  mervane_request_t request;
  mervane_job_t* job;
  int may_defer = 0;

  mscf = ngx_http_get_module_srv_conf(r, ngx_http_mervane_module);
  if (!mscf->enable || r->uri.len == 0 || r->uri.data[0] != '/') {
    return NGX_DECLINED;
  }
  ctx = ngx_http_get_module_ctx(r, ngx_http_mervane_module);
  if (ctx != NULL) {
    switch (ctx->state) {
      case MERVANE_PENDING: /* an event while the thread maps */
        return NGX_DONE;
      case MERVANE_DONE:
        return ngx_http_mervane_apply(r, ctx, ctx->job);
      default:
        if (ctx->uri.data == r->uri.data && ctx->uri.len == r->uri.len &&
            ctx->loc_conf == r->loc_conf) {
          return NGX_DECLINED;
        }
    }
  }
  clcf = ngx_http_get_module_loc_conf(r, ngx_http_core_module);
  if (clcf->alias) {
    return NGX_DECLINED;
  }
  if (!mervane_loaded()) {
    ngx_log_error(NGX_LOG_ERR, r->connection->log, 0,
                  "mervane: no filter library loaded");
    return NGX_HTTP_INTERNAL_SERVER_ERROR;
  }
  mmcf = ngx_http_get_module_main_conf(r, ngx_http_mervane_module);
  ctx = ngx_pcalloc(r->pool, sizeof(ngx_http_mervane_ctx_t));
  if (ctx == NULL) {
    return NGX_HTTP_INTERNAL_SERVER_ERROR;
  }
  ctx->uri = r->uri;
  if (ngx_http_mervane_request(r, mmcf, &request) != NGX_OK) {
    return NGX_HTTP_INTERNAL_SERVER_ERROR;
  }
  job = mervane_loop_job(&request);
  if (job == NULL) {
    return NGX_HTTP_INTERNAL_SERVER_ERROR;
  }
  ngx_http_set_ctx(r, ctx, ngx_http_mervane_module);
#if (NGX_THREADS)
  may_defer = mmcf->thread_pool != NULL;
#endif
  ctx->outcome = mervane_job_map(job, may_defer);
#if (NGX_THREADS)
  if (ctx->outcome == MERVANE_ELSEWHERE) {
    return ngx_http_mervane_post(r, mmcf, ctx, job) == NGX_OK
               ? NGX_DONE
               : NGX_HTTP_INTERNAL_SERVER_ERROR;
  }
#endif
  return ngx_http_mervane_apply(r, ctx, job);
}

/* ---- Variables ---------------------------------------------------------- */

static ngx_int_t ngx_http_mervane_set_text(ngx_http_variable_value_t* v,
                                           const u_char* data, size_t len) {
  v->data = (u_char*)data;
  v->len = len;
  v->valid = 1;
  v->no_cacheable = 1;
  v->not_found = 0;
  return NGX_OK;
}

/* nginx's own $document_root, optionally followed by more. */
static ngx_int_t ngx_http_mervane_nginx_root(ngx_http_request_t* r,
                                             ngx_http_variable_value_t* v,
                                             ngx_http_variable_value_t* tail) {
  ngx_http_mervane_main_conf_t* mmcf;
  ngx_http_variable_value_t* root;
  u_char* p;

  mmcf = ngx_http_get_module_main_conf(r, ngx_http_mervane_module);
  root = ngx_http_get_flushed_variable(r, mmcf->document_root_index);
  if (root == NULL || root->not_found) {
    v->not_found = 1;
    return NGX_OK;
  }
  if (tail == NULL) {
    return ngx_http_mervane_set_text(v, root->data, root->len);
  }
  p = ngx_pnalloc(r->pool, root->len + tail->len);
  if (p == NULL) {
    return NGX_ERROR;
  }
  ngx_memcpy(ngx_cpymem(p, root->data, root->len), tail->data, tail->len);
  return ngx_http_mervane_set_text(v, p, root->len + tail->len);
}

/* The file that $fastcgi_script_name names, in the mapped folder when the
 * request was mapped. */
static ngx_int_t ngx_http_mervane_script_filename(ngx_http_request_t* r,
                                                  ngx_http_variable_value_t* v,
                                                  ngx_http_mervane_ctx_t* ctx) {
  ngx_http_mervane_main_conf_t* mmcf;
  ngx_http_variable_value_t* name;
  size_t tail;
  u_char* p;

  mmcf = ngx_http_get_module_main_conf(r, ngx_http_mervane_module);
  name = ngx_http_get_flushed_variable(r, mmcf->script_name_index);
  if (name == NULL || name->not_found) {
    v->not_found = 1;
    return NGX_OK;
  }
  if (ctx == NULL || !ctx->mapped) {
    return ngx_http_mervane_nginx_root(r, v, name);
  }
  /* The script's name starts with the URL bytes the folder replaces. */
  if (name->len < ctx->alias ||
      ngx_memcmp(name->data, r->uri.data, ctx->alias) != 0) {
    v->not_found = 1;
    return NGX_OK;
  }
  tail = name->len - ctx->alias;
  p = ngx_pnalloc(r->pool, ctx->root.len + tail);
  if (p == NULL) {
    return NGX_ERROR;
  }
  ngx_memcpy(ngx_cpymem(p, ctx->root.data, ctx->root.len),
             name->data + ctx->alias, tail);
  return ngx_http_mervane_set_text(v, p, ctx->root.len + tail);
}

static ngx_int_t ngx_http_mervane_variable(ngx_http_request_t* r,
                                           ngx_http_variable_value_t* v,
                                           uintptr_t data) {
  ngx_http_mervane_ctx_t* ctx;
  const mervane_text_t* text;

  ctx = ngx_http_get_module_ctx(r, ngx_http_mervane_module);
  if (data == MERVANE_VAR_SCRIPT_FILENAME) {
    return ngx_http_mervane_script_filename(r, v, ctx);
  }
  if (ctx == NULL || !ctx->mapped || !ctx->site_reported) {
    if (data == MERVANE_VAR_DOCUMENT_ROOT ||
        data == MERVANE_VAR_CONTEXT_DOCUMENT_ROOT) {
      return ngx_http_mervane_nginx_root(r, v, NULL);
    }
    return ngx_http_mervane_set_text(v, (const u_char*)"", 0);
  }
  switch (data) {
    case MERVANE_VAR_DOCUMENT_ROOT:
      text = &ctx->site.document_root;
      break;
    case MERVANE_VAR_CONTEXT_PREFIX:
      text = &ctx->site.context_prefix;
      break;
    case MERVANE_VAR_CONTEXT_DOCUMENT_ROOT:
      text = &ctx->site.context_document_root;
      break;
    case MERVANE_VAR_ENTRY:
      text = &ctx->site.entry;
      break;
    default:
      text = &ctx->site.user_dir;
      break;
  }
  return ngx_http_mervane_set_text(v, (const u_char*)text->data, text->len);
}

/* ---- Start-up ----------------------------------------------------------- */

static ngx_int_t ngx_http_mervane_init(ngx_conf_t* cf) {
  ngx_http_core_main_conf_t* cmcf;
  ngx_http_handler_pt* h;
  ngx_http_mervane_main_conf_t* mmcf;
  ngx_flag_t mapping;

  mmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_mervane_module);
  mapping = ngx_http_mervane_maps(cf);
  if (mmcf->library.data == NULL && !mapping) {
    return NGX_OK;
  }
  /* "nginx -s reload" only signals: nothing of it reaches a worker. */
  if (ngx_process != NGX_PROCESS_SIGNALLER &&
      ngx_http_mervane_check(cf, mmcf, mapping) != NGX_OK) {
    return NGX_ERROR;
  }
#if (NGX_THREADS)
  mmcf->thread_pool = ngx_thread_pool_add(cf, NULL);
  if (mmcf->thread_pool == NULL) {
    return NGX_ERROR;
  }
#endif
  /* Handlers of a phase run in the reverse order of their adding, and this
   * module's runs after the core's: so before the rewrite module's, whose
   * "set" and "if" then see the mapped request. */
  cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
  h = ngx_array_push(&cmcf->phases[NGX_HTTP_REWRITE_PHASE].handlers);
  if (h == NULL) {
    return NGX_ERROR;
  }
  *h = ngx_http_mervane_handler;
  return NGX_OK;
}

/* Each worker, once it is nginx's user, loads the library for itself. */
static ngx_int_t ngx_http_mervane_init_process(ngx_cycle_t* cycle) {
  ngx_http_mervane_main_conf_t* mmcf;
  mervane_settings_t settings;
  char message[1024];

  if (ngx_process != NGX_PROCESS_WORKER && ngx_process != NGX_PROCESS_SINGLE) {
    return NGX_OK;
  }
  mmcf = ngx_http_cycle_get_module_main_conf(cycle, ngx_http_mervane_module);
  if (mmcf == NULL || mmcf->library.data == NULL) {
    return NGX_OK;
  }
  settings = ngx_http_mervane_settings(mmcf);
  if (!mervane_load(&settings, message, sizeof message)) {
    ngx_log_error(NGX_LOG_ERR, cycle->log, 0, "mervane_library %V: %s",
                  &mmcf->library, message);
    return NGX_OK;
  }
  ngx_log_error(NGX_LOG_INFO, cycle->log, 0, "mervane: loaded %V: %s",
                &mmcf->library, message);
  return NGX_OK;
}
