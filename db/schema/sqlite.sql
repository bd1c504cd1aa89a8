-- The embedded default database. The schemas zy and xg are files attached beside the main
-- database by every connection; column types are checked because SQLite would otherwise store
-- an order number too long for an integer as an inexact real number.
create table if not exists xg.sys_base_type (
    enum_name  varchar(64) not null,
    code_value varchar(20) not null,
    cname      varchar(64) not null,
    primary key (enum_name, code_value)
);

create table if not exists zy.res_download_path (
    down_id     integer not null check (typeof(down_id) = 'integer'),
    down_type   integer not null check (typeof(down_type) = 'integer'),
    down_path   varchar(300) not null,
    op_id       integer not null check (typeof(op_id) = 'integer'),
    create_date text not null,
    remark      varchar(1000)
);

create index if not exists zy.ix_res_download_path_date on res_download_path (create_date);
create index if not exists zy.ix_res_download_path_id on res_download_path (down_id);
create index if not exists zy.ix_res_download_path_path on res_download_path (down_path);

-- What each remote name holds now (size, SHA-256, who stored it, when, from where) and the claim
-- of the upload in progress under it. A row may hold only a claim: the first upload of a name.
-- In the zy file with res_download_path, so one transaction over both stays atomic in WAL mode.
create table if not exists zy.res_download_file (
    file_name   varchar(300) not null primary key,
    file_size   integer check (file_size is null or typeof(file_size) = 'integer'),
    sha256      char(64),
    stored_op   integer,
    stored_host varchar(255),
    stored_at   text,
    claim_token varchar(64),
    claim_op    integer,
    claim_host  varchar(255),
    claim_since integer,
    claim_seen  integer
);
