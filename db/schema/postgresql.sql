-- A shared PostgreSQL server.
create schema if not exists xg;
create schema if not exists zy;

create table if not exists xg.sys_base_type (
    enum_name  varchar(64) not null,
    code_value varchar(20) not null,
    cname      varchar(64) not null,
    primary key (enum_name, code_value)
);

create table if not exists zy.res_download_path (
    down_id     bigint not null,
    down_type   integer not null,
    down_path   varchar(300) not null,
    op_id       integer not null,
    create_date timestamp(0) not null,
    remark      varchar(1000)
);

create index if not exists ix_res_download_path_date on zy.res_download_path (create_date);
create index if not exists ix_res_download_path_id on zy.res_download_path (down_id);
create index if not exists ix_res_download_path_path on zy.res_download_path (down_path);

-- What each remote name holds now (size, SHA-256, who stored it, when, from where) and the claim
-- of the upload in progress under it. A row may hold only a claim: the first upload of a name.
create table if not exists zy.res_download_file (
    file_name   varchar(300) not null primary key,
    file_size   bigint,
    sha256      char(64),
    stored_op   integer,
    stored_host varchar(255),
    stored_at   timestamp(0),
    claim_token varchar(64),
    claim_op    integer,
    claim_host  varchar(255),
    claim_since bigint,
    claim_seen  bigint
);

-- Every side effect of an upload on the store, announced before it happens and cleared in the
-- transaction that settles it (see the SQLite script).
create table if not exists zy.res_download_intent (
    intent_token varchar(64) not null primary key,
    file_name    varchar(300) not null,
    phase        varchar(16) not null,
    temp_name    varchar(300),
    temp_size    bigint,
    temp_sha256  char(64),
    aside_name   varchar(300),
    op_id        integer,
    host         varchar(255),
    created      bigint not null
);

-- Every content a name has held and where it is kept.
create table if not exists zy.res_download_version (
    file_name   varchar(300) not null,
    version_no  integer not null,
    store_name  varchar(300) not null,
    file_size   bigint,
    sha256      char(64),
    stored_op   integer,
    since       varchar(19) not null,
    primary key (file_name, version_no)
);

-- Who moved what, when.
create table if not exists zy.res_download_history (
    event_at    varchar(32) not null,
    op_id       integer,
    host        varchar(255),
    down_id     varchar(20),
    file_name   varchar(300) not null,
    version_no  integer,
    bytes       bigint,
    event       varchar(16) not null,
    result      varchar(1000)
);
create index if not exists ix_res_download_history_name on zy.res_download_history (file_name);
create index if not exists ix_res_download_history_op on zy.res_download_history (op_id);
