-- The production Oracle database; run as a user allowed to create objects in zy and xg.
create table xg.sys_base_type (
    enum_name  varchar2(64) not null,
    code_value varchar2(20) not null,
    cname      varchar2(64) not null,
    constraint pk_sys_base_type primary key (enum_name, code_value)
);

create table zy.res_download_path (
    down_id     number(18) not null,
    down_type   number(10) not null,
    down_path   varchar2(300) not null,
    op_id       number(10) not null,
    create_date date not null,
    remark      varchar2(1000)
);

create index zy.ix_res_download_path_date on zy.res_download_path (create_date);
create index zy.ix_res_download_path_id on zy.res_download_path (down_id);
create index zy.ix_res_download_path_path on zy.res_download_path (down_path);
