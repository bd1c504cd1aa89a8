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
